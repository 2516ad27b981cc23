#include "gui/app/single_instance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QLocalSocket>
#include <QTimer>
#include <cstdio>

namespace zelk::gui {

namespace {

// How often a second start says that it still waits for a busy first instance.
constexpr int kHandOverWaitMs = 30'000;
constexpr char kTaken = '+';
// Local socket paths are limited to about 107 bytes; a deep home gets a path of its own in /tmp.
constexpr int kLongestSocketPath = 100;

QString SocketPath(const std::string& homeDirectory) {
  const QString home = QString::fromStdString(homeDirectory);
  const QString path = QDir(home).filePath(".zelk-instance");
  if (path.toUtf8().size() <= kLongestSocketPath) return path;
  const QByteArray hash = QCryptographicHash::hash(home.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
  return QDir::temp().filePath("zelk-" + QString::fromLatin1(hash));
}

}  // namespace

SingleInstance::SingleInstance(const std::string& homeDirectory) : path_(SocketPath(homeDirectory)) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] { Accept(); });
}

SingleInstance::Role SingleInstance::Claim(const std::string& commandLine) {
  // Two starts at once: one of them listens, the other finds it on its next round.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (HandOver(commandLine)) return Role::kHandedOver;
    if (server_.listen(path_)) return Role::kFirst;
    if (server_.serverError() != QAbstractSocket::AddressInUseError) return Role::kFailed;
    // Nobody listens on it: the socket of a program that ended without removing it.
    QLocalSocket probe;
    probe.connectToServer(path_);
    if (!probe.waitForConnected(1000)) QLocalServer::removeServer(path_);
  }
  return Role::kFailed;
}

bool SingleInstance::HandOver(const std::string& commandLine) const {
  QLocalSocket socket;
  socket.connectToServer(path_);
  if (!socket.waitForConnected(1000)) return false;
  QByteArray message;
  QDataStream stream(&message, QIODevice::WriteOnly);
  stream << QByteArray::fromStdString(commandLine);
  socket.write(message);
  // A first instance that is busy takes it later: wait as long as it lives, and never send twice.
  while (socket.state() == QLocalSocket::ConnectedState) {
    if (socket.bytesToWrite() > 0) {
      socket.waitForBytesWritten(kHandOverWaitMs);
      continue;
    }
    if (socket.waitForReadyRead(kHandOverWaitMs)) return socket.read(1) == QByteArray(1, kTaken);
    if (socket.state() == QLocalSocket::ConnectedState) {
      std::fputs("zelk: waiting for the running Zelk to take the command line\n", stderr);
    }
  }
  return false;
}

void SingleInstance::Accept() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
      QDataStream stream(socket);
      stream.startTransaction();
      QByteArray commandLine;
      stream >> commandLine;
      if (!stream.commitTransaction()) return;  // the rest is still on its way
      socket->write(QByteArray(1, kTaken));
      socket->flush();
      // Run once this socket's signal is over: the hand-over may open dialogs of its own, and the
      // socket may go meanwhile.
      if (received) {
        QTimer::singleShot(0, &server_, [this, line = commandLine.toStdString()] { received(line); });
      }
    });
  }
}

}  // namespace zelk::gui
