#pragma once
// One running fim per user at a time. The first instance listens on the local server "MIVRUNS" in
// the user's runtime folder (or "MIVRUNS-<user id>" in the temporary folder when there is none);
// a second start connects, asks it to restore and raise its main window, and ends without opening
// any device. A name left behind by an instance that died (nobody answers) is removed and taken
// over. Whatever another user runs, under the old shared name or any other, never stops a start.

#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QLocalSocket;
class QWidget;

namespace fim {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    static constexpr const char* kServerName = "MIVRUNS";

    // This user's server name: a path in $XDG_RUNTIME_DIR when that is a folder only the user
    // can enter, else kServerName followed by "-" and the user id (in the temporary folder).
    static QString UserServerName();

    enum class Role {
        First,      // this process runs; it now holds the name
        Activated,  // another instance answered and raises its window: end this process
    };

    explicit SingleInstance(QString name = UserServerName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Asks a running instance to come to the front, or takes the name when none answers.
    // Holds a lock file beside the socket while it decides, so two processes started at the
    // same moment cannot both become the first.
    Role Start(int timeoutMs = 2000);

    // The window to restore and raise when a later start asks (the first instance's main window).
    void SetWindow(QWidget* window);
    bool Listening() const;

    // Restores `window` from minimised (keeping a maximised state) and brings it to the front.
    static void RaiseWindow(QWidget* window);

  signals:
    // Emitted after a later start asked this instance to come to the front.
    void activationRequested();

  private:
    bool AskRunningInstance(int timeoutMs);
    bool Listen();
    void OnNewConnection();
    void OnRequest(QLocalSocket* socket);

    QString name_;
    QLocalServer* server_ = nullptr;
    QPointer<QWidget> window_;
};

}  // namespace fim
