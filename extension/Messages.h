#pragma once
// The library's messages: critical boxes captioned "Tessory" and owned by
// the host window where a Qt application runs, else one line each on
// standard error.
#include <QString>

class QWidget;

namespace extension {

void setMessageOwner(QWidget *owner);
void showMessage(const QString &text);
// Where a system call failed: its error text first, then ours.
void showSystemError(const QString &systemText, const QString &text);
// The text of errno as it stands.
QString systemErrorText();

} // namespace extension
