#include "platform/HtmlHelp.h"

#include "platform/Shell.h"

namespace platform {

namespace {

class DesktopHelp final : public IHtmlHelp {
public:
    void command(int command, const QString &file, const QVariant &) override
    {
        switch (command) {
        case DisplayTopic:
        case DisplayIndex:
        case DisplayContext:
            // "help.chm::/topic.htm" names a page inside the file; only the file can be shown.
            shellOpen(file.section(QStringLiteral("::"), 0, 0));
            break;
        default:
            // CloseAll and the rest: the viewer is another program, nothing to close.
            break;
        }
    }
};

} // namespace

std::unique_ptr<IHtmlHelp> makeHtmlHelp()
{
    return std::make_unique<DesktopHelp>();
}

} // namespace platform
