#include "catalogue/CatalogueModel.h"

#include "catalogue/CatalogueRecordSet.h"
#include "catalogue/DisplayRules.h"

namespace tunelix::catalogue {

CatalogueModel::CatalogueModel(CatalogueRecordSet *view, QObject *parent)
    : QAbstractTableModel(parent), m_view(view)
{
    connect(m_view, &CatalogueRecordSet::aboutToReset, this, &CatalogueModel::beginResetModel);
    connect(m_view, &CatalogueRecordSet::reset, this, &CatalogueModel::endResetModel);
}

int CatalogueModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_view->recordCount();
}

int CatalogueModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CatalogueModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_view->recordCount())
        return {};
    const ViewRow &row = m_view->rowAt(index.row());
    if (role == FileIdRole)
        return row.fileId;

    auto picture = [&](MarkerList list, NullableInt value) -> QVariant {
        if (role != PictureRole)
            return {};
        const auto n = markerPicture(list, value);
        return n ? QVariant(*n) : QVariant();
    };

    switch (index.column()) {
    case IsNewColumn:
        return picture(MarkerList::IsNew, row.isNew);
    case FileStateColumn:
        return picture(MarkerList::FileState, row.fileState);
    case StarLvColumn:
        return picture(MarkerList::StarLv, row.starLv);
    case FileNameColumn:
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
            return displayFileName(row.fileName);
        return {};
    case SongLengthColumn:
        if (role == Qt::DisplayRole)
            return displaySongLength(row.songLength);
        return {};
    default:
        return {};
    }
}

} // namespace tunelix::catalogue
