#pragma once

#include <QAbstractTableModel>

namespace tunelix::catalogue {

class CatalogueRecordSet;

// The grids' model over the view. Text columns give their display text; picture
// columns give, under PictureRole, the number of the picture to draw (nothing for
// null, negative or beyond the list). Widgets choose the pictures. GUI thread only.
class CatalogueModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { IsNewColumn, FileStateColumn, FileNameColumn, SongLengthColumn, StarLvColumn, ColumnCount };
    enum Role { PictureRole = Qt::UserRole + 1, FileIdRole };

    explicit CatalogueModel(CatalogueRecordSet *view, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    CatalogueRecordSet *m_view;
};

} // namespace tunelix::catalogue
