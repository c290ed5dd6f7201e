#include "engines/authoring/HostWindow.h"

#include "engines/authoring/Document.h"
#include "engines/authoring/Session.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>

#include <cstdio>

namespace authoring {

namespace {

const QString kTitle = QStringLiteral("Authoring Host");
// The preview's longest side; the frame is drawn for it, not at stage size.
constexpr int kPreviewSide = 480;

} // namespace

bool canShowMessageBoxes()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

HostWindow::HostWindow(Session &session, QString commandsFolder, QWidget *parent)
    : QMainWindow(parent), m_session(session), m_commandsFolder(std::move(commandsFolder))
{
    setObjectName(QStringLiteral("SmartSketchMDIFrame"));
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open..."), QKeySequence::Open, this, &HostWindow::openMovie);
    QAction *close = file->addAction(QStringLiteral("&Close"), QKeySequence::Close, this, [this] {
        if (!m_session.isRunning())
            m_session.closeDocument();
    });
    file->addSeparator();
    file->addAction(QStringLiteral("&Quit"), QKeySequence::Quit, this, &QWidget::close);
    connect(file, &QMenu::aboutToShow, this, [this, close] { close->setEnabled(m_session.document()); });

    m_commands = menuBar()->addMenu(QStringLiteral("&Commands"));
    connect(m_commands, &QMenu::aboutToShow, this, &HostWindow::fillCommands);
    fillCommands();

    m_frame = new QLabel(this);
    m_frame->setAlignment(Qt::AlignCenter);
    m_frame->setMinimumSize(320, 240);
    setCentralWidget(m_frame);
    // Frames change at every publish of a run; the preview follows at most
    // ten times a second.
    m_redraw.setSingleShot(true);
    m_redraw.setInterval(100);
    connect(&m_redraw, &QTimer::timeout, this, &HostWindow::showFrame);
    connect(&m_session, &Session::documentChanged, this, &HostWindow::documentChanged);
    documentChanged();
}

void HostWindow::fillCommands()
{
    m_commands->clear();
    const QFileInfoList scripts =
        QDir(m_commandsFolder).entryInfoList({QStringLiteral("*.jsfl")}, QDir::Files, QDir::Name);
    for (const QFileInfo &script : scripts) {
        const QString path = script.absoluteFilePath();
        m_commands->addAction(script.completeBaseName(), this, [this, path] { runCommand(path); });
    }
    if (!scripts.isEmpty())
        m_commands->addSeparator();
    m_commands->addAction(QStringLiteral("&Run Command..."), this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Run Command"), m_commandsFolder,
                                                          QStringLiteral("Command scripts (*.jsfl)"));
        if (!path.isEmpty())
            runCommand(path);
    });
    for (QAction *action : m_commands->actions())
        action->setEnabled(!m_session.isRunning());
}

void HostWindow::runCommand(const QString &path)
{
    if (const auto error = m_session.runCommand(path))
        tell(*error, true);
}

void HostWindow::tell(const QString &text, bool problem)
{
    if (!canShowMessageBoxes()) {
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        return;
    }
    if (problem)
        QMessageBox::warning(this, kTitle, text);
    else
        QMessageBox::information(this, kTitle, text);
}

void HostWindow::openMovie()
{
    if (m_session.isRunning())
        return;
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(),
                                                      QStringLiteral("Flash movies (*.swf)"));
    QString error;
    if (!path.isEmpty() && !m_session.openDocument(path, &error))
        tell(error, true);
}

void HostWindow::closeEvent(QCloseEvent *event)
{
    // The running script holds the document and waits in an extension.
    if (m_session.isRunning()) {
        event->ignore();
        tell(QStringLiteral("A command is running; it has to end first."), true);
        return;
    }
    QMainWindow::closeEvent(event);
}

void HostWindow::documentChanged()
{
    const Document *document = m_session.document();
    setWindowTitle(document ? document->name() + QStringLiteral(" - ") + kTitle : kTitle);
    if (document)
        connect(document, &Document::currentChanged, &m_redraw, qOverload<>(&QTimer::start), Qt::UniqueConnection);
    showFrame();
}

void HostWindow::showFrame()
{
    const Document *document = m_session.document();
    if (!document || document->stageSize().isEmpty()) {
        m_frame->setPixmap({});
        m_frame->setText(document ? QStringLiteral("The stage is empty.") : QStringLiteral("No movie is open."));
        return;
    }
    const QSize size = document->stageSize().scaled(kPreviewSide, kPreviewSide, Qt::KeepAspectRatio);
    m_frame->setPixmap(QPixmap::fromImage(document->drawCurrentFrame(size.expandedTo({1, 1}))));
}

} // namespace authoring
