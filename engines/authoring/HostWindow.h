#pragma once
// The host's main window: the open document's current frame, the menus File
// and Commands. Extension libraries find it by its object name.
#include <QMainWindow>
#include <QString>
#include <QTimer>

class QLabel;
class QMenu;

namespace authoring {

class Session;

class HostWindow : public QMainWindow {
    Q_OBJECT
public:
    HostWindow(Session &session, QString commandsFolder, QWidget *parent = nullptr);

    // Runs a command script; its error in a message box, or nothing.
    void runCommand(const QString &path);
    // A message box, or standard error where no one could see one.
    void tell(const QString &text, bool problem);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void fillCommands();
    void openMovie();
    void documentChanged();
    void showFrame();

    Session &m_session;
    QString m_commandsFolder;
    QMenu *m_commands = nullptr;
    QLabel *m_frame = nullptr;
    QTimer m_redraw;
};

// Whether message boxes can be seen (not so on the offscreen platform).
bool canShowMessageBoxes();

} // namespace authoring
