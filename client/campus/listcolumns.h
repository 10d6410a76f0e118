#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QTreeWidget>

#include <span>

// Report-style list columns given as (key, header, width in twips). The
// headers are source texts marked with QT_TRANSLATE_NOOP("ListColumns", ...)
// and translated when the list is set up.
namespace ListColumns {

inline constexpr int TwipsPerPixel = 15;

struct Column {
    QStringView key;
    const char *header;
    int twips;
};

inline void setWidths(QTreeWidget *list, std::span<const Column> columns)
{
    for (int i = 0; i < int(columns.size()); ++i)
        list->setColumnWidth(i, std::max(1, columns[size_t(i)].twips / TwipsPerPixel));
}

inline void setUp(QTreeWidget *list, std::span<const Column> columns)
{
    QStringList headers;
    for (const Column &column : columns)
        headers.append(QCoreApplication::translate("ListColumns", column.header));
    list->setColumnCount(int(columns.size()));
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setAllColumnsShowFocus(true);
    setWidths(list, columns);
}

} // namespace ListColumns
