// A peer for the foreign-window tests: publishes two top-level windows of class "#32770"
// titled TAG-A and TAG-B; TAG-A has the children TAG-A1 ("Button") and TAG-A2 ("Static"),
// and TAG-A2 the child TAG-A2x.  It prints "# ready" once on the bus, then one line per
// delivery ("post|send MSG WPARAM LPARAM TITLE", "key VK down|up", "show COMMAND TITLE").
//   --capture W,H,BYTES  every capture answers W x H with BYTES bytes of pixels
//   --hang-on-send       a sent message is never answered (the event loop stops for good)
//   --exit-on-send       the process ends in the middle of a sent message
//   --flood CLASS,N      posts N messages to the window of class CLASS at start, at once
//   --bad-tree KIND      answers the tree with nonsense instead (and publishes nothing
//                        else): "order" lists a child before its parent, an id twice,
//                        id 0 and an orphan among the good entries "top" and its child
//                        "child"; "lengths" arrays of different lengths; "types" a string
#include "base/CommandLine.h"
#include "platform/desktop/BusWindow.h"
#include "platform/desktop/ForeignWindows.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>

#include <unistd.h>

#include <cstdio>
#include <map>

using namespace sorrel;

namespace {

const char* const kUsage =
    "usage: foreign_peer [--capture W,H,BYTES] [--hang-on-send] [--exit-on-send] [--flood CLASS,N] TAG\n";

void Print(const QString& line) {
  std::puts(qUtf8Printable(line));
  std::fflush(stdout);
}

class Peer : public desktop::ForeignWindowReceiver {
 public:
  desktop::ForeignWindowPublisher* publisher = nullptr;
  bool hangOnSend = false, exitOnSend = false;

  int32_t Message(uint32_t window, uint32_t msg, int32_t wParam, int32_t lParam, bool posted) override {
    Print(QStringLiteral("%1 %2 %3 %4 %5")
              .arg(posted ? "post" : "send")
              .arg(msg)
              .arg(wParam)
              .arg(lParam)
              .arg(publisher->Title(window)));
    if (!posted && exitOnSend) _exit(0);
    if (!posted && hangOnSend)
      for (;;) pause();
    return int32_t(msg) + 1;
  }
  void Key(uint32_t vk, bool up) override {
    Print(QStringLiteral("key %1 %2").arg(vk).arg(up ? "up" : "down"));
  }
  bool Show(uint32_t window, desktop::ShowCommand c) override {
    Print(QStringLiteral("show %1 %2")
              .arg(desktop::ShowCommandName(uint32_t(c)))
              .arg(publisher->Title(window)));
    return true;
  }
};

// A hostile peer: whatever is asked, the tree of its kind.
class BadTree : public QDBusVirtualObject {
 public:
  explicit BadTree(QString kind) : kind_(std::move(kind)) {}
  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& m, const QDBusConnection& c) override {
    QList<QVariant> out;
    if (kind_ == "types") {
      out << QStringLiteral("no tree");
    } else {
      const bool shortTitles = kind_ == "lengths";
      const QList<uint> ids{2, 1, 1, 0, 3, 5}, parents{1, 0, 0, 0, 1, 4}, states{1, 1, 1, 1, 1, 1};
      QStringList titles{"child-first", "top", "dup", "zero", "child", "orphan"};
      if (shortTitles) titles.removeLast();
      QList<int> rects;
      for (int i = 0; i < 6 * 4; ++i) rects << i;
      out << QVariant::fromValue(ids) << QVariant::fromValue(parents)
          << QVariant::fromValue(QStringList(6, QStringLiteral("#32770"))) << QVariant::fromValue(titles)
          << QVariant::fromValue(rects) << QVariant::fromValue(states);
    }
    c.send(m.createReply(out));
    return true;
  }

 private:
  QString kind_;
};

}  // namespace

int main(int argc, char** argv) {
  base::TCommandLine cl("foreign_peer", kUsage);
  std::string capture, flood, badTree;
  bool hang = false, exitOnSend = false;
  cl.Option("--capture", &capture);
  cl.Option("--flood", &flood);
  cl.Option("--bad-tree", &badTree);
  cl.Flag("--hang-on-send", &hang);
  cl.Flag("--exit-on-send", &exitOnSend);
  if (cl.Parse(argc, argv) == base::TCommandLine::TResult::kExit) return cl.ExitCode();
  if (cl.Positional().size() != 1) return cl.Fail("one TAG expected");
  const QString tag = QString::fromStdString(cl.Positional().front());

  QCoreApplication app(argc, argv);
  if (!badTree.empty()) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    static BadTree tree(QString::fromStdString(badTree));
    if (!bus.registerVirtualObject(QString::fromLatin1(desktop::kForeignPath), &tree) ||
        !bus.registerService(QStringLiteral("%1Bad%2").arg(desktop::kForeignBusPrefix).arg(getpid()))) {
      std::fputs("foreign_peer: no session bus\n", stderr);
      return 3;
    }
    Print(QStringLiteral("# ready"));
    return app.exec();
  }
  Peer peer;
  peer.hangOnSend = hang;
  peer.exitOnSend = exitOnSend;
  desktop::ForeignWindowPublisher publisher(peer);
  peer.publisher = &publisher;

  desktop::PixelProvider pixels = [](int, int, int w, int h) {
    desktop::ForeignImage image{w, h, QByteArray(qsizetype(w) * h * 3, char(0x40))};
    return image;
  };
  if (!capture.empty()) {
    const QStringList p = QString::fromStdString(capture).split(QLatin1Char(','));
    if (p.size() != 3) return cl.Fail("--capture W,H,BYTES");
    const int w = p[0].toInt(), h = p[1].toInt(), bytes = p[2].toInt();
    pixels = [w, h, bytes](int, int, int, int) {
      return desktop::ForeignImage{w, h, QByteArray(bytes, char(0x7F))};
    };
  }
  const uint32_t a = publisher.Add(0, QStringLiteral("#32770"), tag + "-A", QRect(10, 20, 300, 200),
                                   desktop::kVisible, pixels);
  publisher.Add(a, QStringLiteral("Button"), tag + "-A1", QRect(20, 30, 50, 20));
  const uint32_t a2 = publisher.Add(a, QStringLiteral("Static"), tag + "-A2", QRect(20, 60, 50, 20));
  publisher.Add(a2, QStringLiteral("Static"), tag + "-A2x", QRect(22, 62, 10, 10), 0);
  publisher.Add(0, QStringLiteral("#32770"), tag + "-B", QRect(400, 20, 100, 100));
  if (publisher.Publish() != desktop::ForeignWindowPublisher::Result::Published) {
    std::fputs("foreign_peer: no session bus\n", stderr);
    return 3;
  }
  Print(QStringLiteral("# ready"));

  if (!flood.empty()) {
    const QStringList p = QString::fromStdString(flood).split(QLatin1Char(','));
    if (p.size() != 2) return cl.Fail("--flood CLASS,N");
    const QString name = desktop::BusNameForClass(p[0]);
    QDBusConnection bus = QDBusConnection::sessionBus();
    for (int i = 0, n = p[1].toInt(); i < n; ++i) {
      QDBusMessage m =
          QDBusMessage::createMethodCall(name, QString::fromLatin1(desktop::kObjectPath),
                                         QString::fromLatin1(desktop::kInterface), QStringLiteral("Post"));
      m << uint(0x697) << i << 0;
      bus.send(m);
    }
    Print(QStringLiteral("# flooded"));
  }
  return app.exec();
}
