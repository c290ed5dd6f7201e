#pragma once
// Routes every help request of the application to the help file, the user
// guide "Help.html" beside the running program.
#include "platform/HtmlHelp.h"

#include <QObject>
#include <QString>
#include <memory>

class TUseHTMLHelp : public QObject {
    Q_OBJECT
public:
    // Request kinds, numbered as the help requests of the platform were.
    enum Request { HelpContext = 0x0001, HelpQuit = 0x0002, HelpSetPopupPos = 0x000D,
                   HelpContextPopup = 0x0008, HelpKey = 0x0101 };

    explicit TUseHTMLHelp(std::unique_ptr<platform::IHtmlHelp> viewer, QObject *parent = nullptr);
    ~TUseHTMLHelp() override;

    // Every request counts as handled. A missing help file shows
    // "No help file present!" (except for quit and pop-up position).
    bool HelpCommand(int request, const QVariant &data);

    QString HelpFile = DefaultHelpFile();

    // The program's folder is where the guide is built and installed; the
    // current folder is wherever the user started from.
    static QString DefaultHelpFile();

protected:
    // F1 anywhere in the application asks for context 0.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::unique_ptr<platform::IHtmlHelp> m_viewer;
};
