#include "gui/app/single_instance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QLocalSocket>

namespace zelk::gui {

namespace {

// Long enough for a first instance that is busy (a dialog open, a file being written).
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
    // Nobody answered on it: the socket of a program that ended without removing it.
    if (!HandOver(commandLine)) QLocalServer::removeServer(path_);
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
  if (!socket.waitForBytesWritten(kHandOverWaitMs)) return false;
  return socket.waitForReadyRead(kHandOverWaitMs) && socket.read(1) == QByteArray(1, kTaken);
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
      if (received) received(commandLine.toStdString());
    });
  }
}

}  // namespace zelk::gui
