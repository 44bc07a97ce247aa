#include "ui/main/PackageScreen.h"

#include "ui/CachedPanelStyle.h"
#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QAction>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace PackageScreen {

QWidget *toolbar(const QString &title, const QString &objectName, QWidget *parent, QHBoxLayout *&layout)
{
    auto *toolbar = new QWidget(parent);
    toolbar->setObjectName(objectName);
    layout = new QHBoxLayout(toolbar);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(8);
    auto *label = new QLabel(title, toolbar);
    label->setObjectName(u"screenTitle"_s);
    label->setFont(Fonts::font(Fonts::Style::title3, QFont::Bold));
    layout->addWidget(label);
    return toolbar;
}

QToolButton *toolbarButton(const QString &text, const QString &objectName, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setText(text);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setIconSize(QSize(15, 15));
    return button;
}

QWidget *kindPicker(CatalogFilter::KindFilter current, QWidget *parent, QButtonGroup *&group)
{
    auto *kinds = new QWidget(parent);
    kinds->setObjectName(u"kindPicker"_s);
    kinds->setAccessibleName(u"Type"_s);
    auto *layout = new QHBoxLayout(kinds);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    group = new QButtonGroup(kinds);
    group->setExclusive(true);
    for (CatalogFilter::KindFilter kind : CatalogFilter::allKindFilters()) {
        auto *segment = new QToolButton(kinds);
        segment->setObjectName(u"kind"_s + CatalogFilter::toString(kind));
        segment->setText(CatalogFilter::toString(kind));
        segment->setCheckable(true);
        segment->setChecked(kind == current);
        segment->setToolButtonStyle(Qt::ToolButtonTextOnly);
        group->addButton(segment, int(kind));
        layout->addWidget(segment);
    }
    return kinds;
}

int rowHeight(const QWidget *table)
{
    return std::max(24, table->fontMetrics().height() + 8);
}

int textColumnWidth(const QWidget *table, const QString &widest)
{
    return table->fontMetrics().horizontalAdvance(widest) + 16;
}

QLineEdit *searchField(const QString &placeholder, QWidget *parent)
{
    auto *search = new QLineEdit(parent);
    search->setObjectName(u"searchField"_s);
    search->setPlaceholderText(placeholder);
    search->setAccessibleName(placeholder);
    search->setClearButtonEnabled(true);
    search->setMinimumWidth(150);
    search->setMaximumWidth(280);
    search->addAction(Symbols::icon(u"magnifyingglass"_s, Colors::secondary(parent)), QLineEdit::LeadingPosition);
    CachedPanelStyle::install(search);
    return search;
}

void setUpTable(QTableView *table, bool multiSelection)
{
    table->setFrameShape(QFrame::NoFrame);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(multiSelection ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setShowGrid(false);
    table->setAlternatingRowColors(true);
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideRight);
    table->setSortingEnabled(false);
    // Fixed row heights: the view never asks thousands of rows for their size.
    QHeaderView *rows = table->verticalHeader();
    rows->setVisible(false);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(rowHeight(table));
    QHeaderView *columns = table->horizontalHeader();
    columns->setHighlightSections(false);
    columns->setSectionsClickable(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setStretchLastSection(false);
}

QWidget *bottomBar(const QString &objectName, QWidget *parent, QHBoxLayout *&layout, QLabel *&rowCount, QLabel *&pill)
{
    auto *bar = new QWidget(parent);
    bar->setObjectName(objectName);
    bar->setAutoFillBackground(true);
    bar->setBackgroundRole(QPalette::Window);
    layout = new QHBoxLayout(bar);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(12);
    rowCount = new QLabel(bar);
    rowCount->setObjectName(u"rowCountLabel"_s);
    rowCount->setFont(Fonts::font(Fonts::Style::caption));
    layout->addWidget(rowCount);
    pill = new QLabel(bar);
    pill->setObjectName(u"selectionPill"_s);
    pill->setFont(Fonts::font(Fonts::Style::caption, QFont::DemiBold));
    layout->addWidget(pill);
    return bar;
}

QPushButton *linkButton(const QString &text, const QString &objectName, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(Fonts::font(Fonts::Style::caption));
    return button;
}

void styleLinks(QWidget *palette, std::initializer_list<QPushButton *> links)
{
    const QString style = u"QPushButton { border: none; padding: 0; color: %1; }"
                          "QPushButton:disabled { color: %2; }"
                          "QPushButton:hover:enabled { text-decoration: underline; }"_s.arg(
                              Colors::blue().name(), Colors::css(Colors::secondary(palette), 0.7));
    for (QPushButton *link : links)
        link->setStyleSheet(style);
}

void setSelectionPill(QLabel *pill, qsizetype count)
{
    pill->setText(count == 1 ? u"1 selected"_s : QString::number(count) + u" selected"_s);
    pill->setStyleSheet(u"QLabel { background: %1; border-radius: 8px; padding: 2px 8px; }"_s.arg(
        count == 0 ? u"transparent"_s : Colors::css(pill->palette().color(QPalette::Highlight), 0.2)));
}

void selectRows(QTableView *table, const QSet<QString> &ids, int idRole)
{
    const QAbstractItemModel *model = table->model();
    QItemSelection rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (ids.contains(index.data(idRole).toString()))
            rows.select(index, model->index(row, model->columnCount() - 1));
    }
    table->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
}

void takeSelection(const QTableView *table, QSet<QString> &ids, int idRole)
{
    const QAbstractItemModel *model = table->model();
    for (int row = 0; row < model->rowCount(); ++row)
        ids.remove(model->index(row, 0).data(idRole).toString());
    for (const QModelIndex &index : table->selectionModel()->selectedRows())
        ids.insert(index.data(idRole).toString());
}

} // namespace PackageScreen
