#include "extension/Messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace extension {

namespace {

QPointer<QWidget> &owner()
{
    static QPointer<QWidget> widget;
    return widget;
}

bool canShowBoxes()
{
    // Widgets live on the application's thread only.
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

} // namespace

void setMessageOwner(QWidget *widget)
{
    owner() = widget;
}

void showMessage(const QString &text)
{
    if (!canShowBoxes()) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        std::fflush(stderr);
        return;
    }
    QMessageBox::critical(owner().data(), QStringLiteral("Tessory"), text);
}

void showSystemError(const QString &systemText, const QString &text)
{
    showMessage(systemText);
    showMessage(text);
}

QString systemErrorText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace extension
