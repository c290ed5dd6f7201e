#include "core/UseHTMLHelp.h"

#include "core/Global.h"
#include "platform/FileVersion.h"

#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>

TUseHTMLHelp::TUseHTMLHelp(std::unique_ptr<platform::IHtmlHelp> viewer, QObject *parent)
    : QObject(parent), m_viewer(std::move(viewer))
{
}

TUseHTMLHelp::~TUseHTMLHelp() = default;

QString TUseHTMLHelp::DefaultHelpFile()
{
    return QFileInfo(platform::ownExecutablePath()).absolutePath() + QStringLiteral("/Help.html");
}

bool TUseHTMLHelp::HelpCommand(int request, const QVariant &data)
{
    using H = platform::IHtmlHelp;
    if (request == HelpQuit) {
        m_viewer->command(H::CloseAll, QString(), QVariant());
        return true;
    }
    if (request == HelpSetPopupPos)
        return true;
    if (!QFileInfo(HelpFile).isFile()) {
        ShowErrorMessage(QStringLiteral("No help file present!"));
        return true;
    }
    switch (request) {
    case HelpContext:
    case HelpContextPopup:
        m_viewer->command(H::DisplayContext, HelpFile, data);
        break;
    case HelpKey:
        m_viewer->command(H::DisplayIndex, HelpFile, data);
        break;
    default:
        m_viewer->command(H::DisplayTopic, HelpFile, QVariant());
        break;
    }
    return true;
}

bool TUseHTMLHelp::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F1
        && watched->isWidgetType()) {
        HelpCommand(HelpContext, 0);
        return true;
    }
    return QObject::eventFilter(watched, event);
}
