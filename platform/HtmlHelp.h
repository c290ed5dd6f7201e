#pragma once
#include <QString>
#include <QVariant>
#include <memory>

namespace platform {

// Stand-in for the HTML Help viewer: the commands keep their numbers, and
// showing anything means opening the help file with the desktop's default
// viewer (a help file has no contexts here).
class IHtmlHelp {
public:
    enum Command { DisplayTopic = 0x00, DisplayIndex = 0x02, DisplayContext = 0x0F, CloseAll = 0x12 };
    virtual ~IHtmlHelp() = default;
    virtual void command(int command, const QString &file, const QVariant &data) = 0;
};

std::unique_ptr<IHtmlHelp> makeHtmlHelp();

} // namespace platform
