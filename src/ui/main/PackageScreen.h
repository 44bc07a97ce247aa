#pragma once

#include "brew/CatalogFilter.h"

#include <QSet>
#include <QString>

#include <initializer_list>

class QButtonGroup;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;
class QWidget;

// The pieces the package screens (Packages, Installed, Updates) are built from, so the three
// look and behave alike: the toolbar with the screen's title, the type picker and the search
// field, the tables, and the bar of counts and selection commands under them.
namespace PackageScreen {

// A table row one line of the table's text high, with room around it, at any font size.
int rowHeight(const QWidget *table);
// A column as wide as its widest expected text ("Formula") in the table's font.
int textColumnWidth(const QWidget *table, const QString &widest);

// A toolbar row that starts with the screen's title; the caller adds its controls to `layout`.
QWidget *toolbar(const QString &title, const QString &objectName, QWidget *parent, QHBoxLayout *&layout);
// A flat toolbar button with a symbol beside its text.
QToolButton *toolbarButton(const QString &text, const QString &objectName, QWidget *parent);
// The segmented All / Formulae / Casks picker; the button ids are the KindFilter values.
QWidget *kindPicker(CatalogFilter::KindFilter current, QWidget *parent, QButtonGroup *&group);
QLineEdit *searchField(const QString &placeholder, QWidget *parent);

// Whole-row selection, fixed row heights, no grid or row numbers, columns not sortable.
void setUpTable(QTableView *table, bool multiSelection);

// The bar under a table, starting with the row count and the selection pill; the caller adds its
// buttons to `layout`.
QWidget *bottomBar(const QString &objectName, QWidget *parent, QHBoxLayout *&layout, QLabel *&rowCount, QLabel *&pill);
// A bottom-bar button that reads as a link.
QPushButton *linkButton(const QString &text, const QString &objectName, QWidget *parent);
// Colours a set of link buttons for the widget's palette.
void styleLinks(QWidget *palette, std::initializer_list<QPushButton *> links);
// "1 selected", "3 selected" on a tinted pill, clear when nothing is selected.
void setSelectionPill(QLabel *pill, qsizetype count);

// Multi-row tables keyed by package id (the model's `idRole`): selects the rows whose ids are in
// `ids`, and reads the table's selection back into `ids`. Ids of rows the table does not show
// stay as they were, so a filter or a refreshed list does not lose them.
void selectRows(QTableView *table, const QSet<QString> &ids, int idRole);
void takeSelection(const QTableView *table, QSet<QString> &ids, int idRole);

} // namespace PackageScreen
