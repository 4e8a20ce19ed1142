#pragma once

#include <QDate>
#include <QWidget>

#include <functional>

class QTableView;

namespace tunelix::catalogue {
class TTxDataModule;
class CatalogueModel;
} // namespace tunelix::catalogue

namespace tunelix::client {

struct ClientContext;

// The client's main window. GUI thread only.
class TmainFrm : public QWidget
{
    Q_OBJECT
public:
    TmainFrm(ClientContext &context, catalogue::TTxDataModule &data, QWidget *parent = nullptr);
    ~TmainFrm() override;

    // The set-up run when the window is created; an error leaves it (and reaches the
    // error box) with the later steps not run.
    void FormCreate();
    // The close command: the daily updater start, then the end of the application.
    void CloseActExecute();
    // The teardown of the system close route.
    void FormClose();

    // Stand-ins for tests: the clock of the close command and how programs start.
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    std::function<void(const QString &)> startProgram;
    std::function<void()> quitApplication;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    ClientContext &m_context;
    catalogue::TTxDataModule &m_data;
    catalogue::CatalogueModel *m_model = nullptr;
    QTableView *m_grid = nullptr;
    bool m_tornDown = false;
};

} // namespace tunelix::client
