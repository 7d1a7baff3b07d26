// Windows on the session bus.  A window that other programs address is published under a
// bus name derived from its class name, at one object path, with its class and caption
// as properties and methods carrying the window messages:
//
//   bus name   org.sorrel.Window.<class>   ([A-Za-z0-9_] kept, every other byte of the
//                                           UTF-8 class as "-" and two hex digits, a
//                                           leading digit too: "Navin' You" is
//                                           org.sorrel.Window.Navin-27-20You)
//   path       /org/sorrel/Window
//   interface  org.sorrel.Window
//     property ClassName s, Caption s (read only)
//     Post(u msg, i wParam, i lParam)               queued, no reply
//     Send(u msg, i wParam, i lParam) -> i          handled before the reply
//     CopyData(i wParam, u dwData, ay data) -> i    the copy-data record
//     DropFiles(as paths) -> i                      files dropped on the window
//
// Each published window has a bus connection of its own, so one process can publish
// several windows at the same path.  Owning the name is exclusive (no queueing), which
// makes it a single-instance lock.
#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace sorrel::desktop {

inline constexpr const char* kBusNamePrefix = "org.sorrel.Window.";
inline constexpr const char* kObjectPath = "/org/sorrel/Window";
inline constexpr const char* kInterface = "org.sorrel.Window";

// Empty when the class name is empty or too long for a bus name.
QString BusNameForClass(const QString& className);
// The class of a published window's bus name; nullopt for any other name.
std::optional<QString> ClassForBusName(const QString& busName);

// True when a session bus can be reached.
bool SessionBusAvailable();

// What other programs deliver to a published window.  Called on the thread that owns
// the PublishedWindow, from its event loop.
class WindowReceiver {
 public:
  virtual ~WindowReceiver() = default;
  virtual int32_t WindowMessage(uint32_t msg, int32_t wParam, int32_t lParam, bool posted) = 0;
  virtual int32_t WindowCopyData(int32_t wParam, uint32_t dwData, const QByteArray& data) = 0;
  virtual int32_t WindowDropFiles(const QStringList& /*paths*/) { return 0; }
};

class PublishedWindow : public QObject {
  Q_OBJECT
 public:
  enum class Result { Published, NameTaken, NoBus };

  PublishedWindow(QString className, QString caption, WindowReceiver& receiver, QObject* parent = nullptr);
  ~PublishedWindow() override;  // gives the name up

  Result Publish();
  bool IsPublished() const { return published_; }
  void SetCaption(const QString& caption) { caption_ = caption; }
  QString Caption() const { return caption_; }
  QString ClassName() const { return className_; }
  QString BusName() const { return BusNameForClass(className_); }
  WindowReceiver& Receiver() const { return receiver_; }

 private:
  QString className_;
  QString caption_;
  WindowReceiver& receiver_;
  QString connectionName_;
  bool published_ = false;
};

// How a look-up of a window ended.  A window whose name is owned but that does not
// answer within the time-out is busy (NoAnswer), not absent.
enum class Lookup { Found, NoBus, Absent, OtherCaption, NoAnswer };
struct LookupResult;

// Another program's published window, found by class and caption.
class RemoteWindow {
 public:
  // By class, and by caption too when one is given (both must match exactly); the
  // caption is read within timeoutMs.
  static LookupResult Look(const QString& className, const std::optional<QString>& caption, int timeoutMs);
  static std::optional<RemoteWindow> Find(const QString& className,
                                          const std::optional<QString>& caption = std::nullopt,
                                          int timeoutMs = kDefaultLookupMs);
  // How long the player's own look-ups of its peers wait for a caption.
  static constexpr int kDefaultLookupMs = 1000;
  // Any class, the caption beginning with `prefix`.
  static std::optional<RemoteWindow> FindByCaptionPrefix(const QString& prefix);
  static std::vector<RemoteWindow> All();

  QString ClassName() const { return className_; }
  QString BusName() const { return busName_; }
  // Read afresh; nullopt when the window has gone or does not answer in time.
  std::optional<QString> Caption(int timeoutMs = kDefaultLookupMs) const;
  bool Exists() const;

  // Queued at the window; true once the bus has taken it for a window that exists.
  bool Post(uint32_t msg, int32_t wParam, int32_t lParam) const;
  // The window's answer, or nullopt when it is gone, fails or takes longer than timeoutMs.
  std::optional<int32_t> Send(uint32_t msg, int32_t wParam, int32_t lParam, int timeoutMs) const;
  std::optional<int32_t> CopyData(int32_t wParam, uint32_t dwData, const QByteArray& data,
                                  int timeoutMs) const;
  std::optional<int32_t> DropFiles(const QStringList& paths, int timeoutMs) const;

 private:
  RemoteWindow(QString busName, QString className)
      : busName_(std::move(busName)), className_(std::move(className)) {}
  std::optional<int32_t> Call(const char* method, const QList<QVariant>& args, int timeoutMs) const;
  QDBusMessage ReadCaption(int timeoutMs) const;

  QString busName_;
  QString className_;
};

struct LookupResult {
  Lookup status = Lookup::Absent;
  std::optional<RemoteWindow> window;  // Found, and OtherCaption: the window that is there
  std::optional<QString> caption;      // when it was read
};

}  // namespace sorrel::desktop
