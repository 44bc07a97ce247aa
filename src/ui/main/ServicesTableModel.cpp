#include "ui/main/ServicesTableModel.h"

#include "ui/Colors.h"

#include <QColor>
#include <QPainter>
#include <QPixmap>

using namespace Qt::StringLiterals;

namespace {

QPixmap statusMark(const QColor &color)
{
    QPixmap pixmap(10, 10);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(1, 1, 8, 8));
    return pixmap;
}

} // namespace

ServicesTableModel::ServicesTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void ServicesTableModel::setServices(const QList<ServiceEntry> &services)
{
    if (services == m_services)
        return;
    // Same names in the same order: only the cells change, so the selection stays put.
    bool sameRows = services.size() == m_services.size();
    for (qsizetype i = 0; sameRows && i < services.size(); ++i)
        sameRows = services.at(i).name == m_services.at(i).name;
    if (sameRows) {
        m_services = services;
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount_ - 1));
        return;
    }
    beginResetModel();
    m_services = services;
    endResetModel();
}

QColor ServicesTableModel::statusColor(const QString &status)
{
    if (status == u"started"_s)
        return Colors::green();
    if (status == u"scheduled"_s)
        return Colors::blue();
    if (status == u"error"_s)
        return Colors::red();
    if (status == u"stopped"_s || status == u"none"_s)
        return QColor(0x8e, 0x8e, 0x93);
    return Colors::orange();
}

int ServicesTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_services.size());
}

int ServicesTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columnCount_;
}

QVariant ServicesTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const ServiceEntry &service = m_services.at(index.row());
    if (role == nameRole)
        return service.name;
    switch (index.column()) {
    case nameColumn:
        if (role == Qt::DisplayRole)
            return service.name;
        break;
    case statusColumn:
        if (role == Qt::DisplayRole)
            return service.status.isEmpty() ? u"unknown"_s : service.status;
        if (role == Qt::DecorationRole)
            return statusMark(statusColor(service.status));
        if (role == Qt::ForegroundRole && service.status == u"error"_s)
            return Colors::red();
        break;
    case userColumn:
        if (role == Qt::DisplayRole)
            return service.user.value_or(QString());
        break;
    case exitCodeColumn:
        // A code only means something when the service failed; a clean 0 says nothing.
        if (role == Qt::DisplayRole && service.exitCode && *service.exitCode != 0)
            return QString::number(*service.exitCode);
        if (role == Qt::ForegroundRole)
            return Colors::red();
        break;
    default:
        break;
    }
    return {};
}

QVariant ServicesTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case nameColumn:
        return u"Name"_s;
    case statusColumn:
        return u"Status"_s;
    case userColumn:
        return u"User"_s;
    case exitCodeColumn:
        return u"Exit code"_s;
    default:
        return {};
    }
}
