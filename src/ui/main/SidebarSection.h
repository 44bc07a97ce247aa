#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>

// The rows of the main window's sidebar, in display order.
enum class SidebarSection { home, catalog, installed, updates, services };

inline QList<SidebarSection> allSidebarSections()
{
    return { SidebarSection::home, SidebarSection::catalog, SidebarSection::installed, SidebarSection::updates,
        SidebarSection::services };
}

inline size_t qHash(SidebarSection section, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(section), seed);
}
