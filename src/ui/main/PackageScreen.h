#pragma once

#include "brew/CatalogFilter.h"

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

// A toolbar row that starts with the screen's title; the caller adds its controls to `layout`.
QWidget *toolbar(const QString &title, const QString &objectName, QWidget *parent, QHBoxLayout *&layout);
// A flat toolbar button with a symbol beside its text.
QToolButton *toolbarButton(const QString &text, const QString &objectName, QWidget *parent);
// The segmented All / Formulae / Casks picker; the button ids are the KindFilter values.
QWidget *kindPicker(CatalogFilter::KindFilter current, QWidget *parent, QButtonGroup *&group);
QLineEdit *searchField(const QString &placeholder, QWidget *parent);

// Whole-row selection, fixed row heights, no grid or row numbers, columns not sortable.
void setUpTable(QTableView *table, bool multiSelection);

// The bar under a table; the caller adds its labels and buttons to `layout`.
QWidget *bottomBar(const QString &objectName, QWidget *parent, QHBoxLayout *&layout);
// A bottom-bar button that reads as a link.
QPushButton *linkButton(const QString &text, const QString &objectName, QWidget *parent);
// Colours a set of link buttons for the widget's palette.
void styleLinks(QWidget *palette, std::initializer_list<QPushButton *> links);
// "1 selected", "3 selected" on a tinted pill, clear when nothing is selected.
void setSelectionPill(QLabel *pill, qsizetype count);

} // namespace PackageScreen
