#include "app/ui/SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QWidget>

namespace fim {

namespace {

// The request a second start sends, and the first instance's answer once its window is up front.
constexpr char kRaiseRequest[] = "RAISE\n";
constexpr char kRaisedReply[] = "RAISED\n";

// The socket file of a server name: a path as it is, a plain name in the temporary folder.
QString SocketPath(const QString& name) {
    return QDir::isAbsolutePath(name) ? name : QDir(QDir::tempPath()).filePath(name);
}

QString LockFilePath(const QString& name) { return SocketPath(name) + QStringLiteral(".lock"); }

// A socket file that another user made (in a shared folder) is not this user's instance.
bool SocketIsAnotherUsers(const QString& name) {
    struct stat st {};
    const QByteArray path = QFile::encodeName(SocketPath(name));
    return ::lstat(path.constData(), &st) == 0 && st.st_uid != ::getuid();
}

}  // namespace

QString SingleInstance::UserServerName() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (!runtime.isEmpty() && runtime.startsWith('/') && ::stat(runtime.constData(), &st) == 0 &&
        S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0) {
        return QDir(QFile::decodeName(runtime)).filePath(QLatin1String(kServerName));
    }
    return QLatin1String(kServerName) + u'-' + QString::number(::getuid());
}

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() {
    // Closing the server removes the socket file, so the next start runs normally.
    if (server_ != nullptr) server_->close();
}

void SingleInstance::SetWindow(QWidget* window) { window_ = window; }

bool SingleInstance::Listening() const { return server_ != nullptr && server_->isListening(); }

SingleInstance::Role SingleInstance::Start(int timeoutMs) {
    QLockFile lock(LockFilePath(name_));
    // A lock left by a process that died is taken over by QLockFile itself (it checks the pid).
    // Without the lock (another start still deciding after the timeout) carry on regardless:
    // a usable program matters more than the guard.
    const bool locked = lock.tryLock(timeoutMs);
    if (AskRunningInstance(timeoutMs)) return Role::Activated;
    // When the name cannot be taken (another user's socket, no temp dir) this process still runs
    // as the first instance, only without the guard.
    Listen();
    if (locked) lock.unlock();
    return Role::First;
}

bool SingleInstance::AskRunningInstance(int timeoutMs) {
    if (SocketIsAnotherUsers(name_)) return false;
    QLocalSocket socket;
    socket.connectToServer(name_);
    // Refused or missing: no instance runs (a dead one may have left its socket file).
    if (!socket.waitForConnected(timeoutMs)) return false;
    // Someone listens, so an instance runs, even when it is too busy to answer in time: it reads
    // the request when its event loop gets to it. Never take over a live instance's name.
    socket.write(kRaiseRequest);
    socket.waitForBytesWritten(timeoutMs);
    QByteArray reply;
    while (!reply.contains('\n') && socket.waitForReadyRead(timeoutMs)) reply += socket.readAll();
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen() {
    if (server_ == nullptr) {
        server_ = new QLocalServer(this);
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
    }
    if (server_->listen(name_)) return true;
    // A socket file left by an instance that died: nobody answered above, so remove it.
    QLocalServer::removeServer(name_);
    return server_->listen(name_);
}

void SingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnRequest(socket); });
        if (socket->bytesAvailable() > 0) OnRequest(socket);
    }
}

void SingleInstance::OnRequest(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        // Anything longer than a request is not one of ours.
        if (socket->bytesAvailable() > 64) socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(64);
    if (line != kRaiseRequest) {
        socket->abort();
        return;
    }
    RaiseWindow(window_);
    emit activationRequested();
    socket->write(kRaisedReply);
    socket->flush();
}

void SingleInstance::RaiseWindow(QWidget* window) {
    if (window == nullptr) return;
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace fim
