#include "client/MainFrm.h"

#include "catalogue/CatalogueModel.h"
#include "catalogue/TxDataModule.h"
#include "client/ClientContext.h"
#include "platform/DailyUpdaterStart.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QHeaderView>
#include <QProcess>
#include <QTableView>
#include <QVBoxLayout>

namespace tunelix::client {

TmainFrm::TmainFrm(ClientContext &context, catalogue::TTxDataModule &data, QWidget *parent)
    : QWidget(parent), m_context(context), m_data(data)
{
    setWindowTitle(QStringLiteral("Tunelix-Mobri"));
    resize(345, 533);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_grid = new QTableView(this);
    m_model = new catalogue::CatalogueModel(m_data.qry1(), this);
    m_grid->setModel(m_model);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->hide();
    m_grid->setShowGrid(false);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(m_grid);

    startProgram = startDetachedProgram;
    quitApplication = [] { QCoreApplication::quit(); };
}

TmainFrm::~TmainFrm() = default;

void TmainFrm::FormCreate()
{
    m_context.RingFolder = m_context.programFolder.ringFolder();
    QDir().mkdir(m_context.RingFolder); // one level; a failure is not reported
    m_context.PlayingNow = false;
    m_context.AutoDownloadOn = false;
    m_data.openView(catalogue::TTxDataModule::allRowsStatement());
}

void TmainFrm::CloseActExecute()
{
    try {
        DailyUpdaterStart start{m_context.programFolder.settingsFile(),
                                m_context.programFolder.updaterExecutable(), startProgram};
        start.run(today());
        quitApplication();
    } catch (...) {
        // The close command drops every error; the window stays open.
    }
}

void TmainFrm::FormClose()
{
    if (m_tornDown)
        return;
    m_tornDown = true;
    m_context.AutoDownloadOn = false;
}

void TmainFrm::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
    quitApplication();
}

} // namespace tunelix::client
