// Other programs' windows on the session bus: a program publishes a tree of windows
// (class, title, rectangle on the screen, state, children) and answers pixel captures,
// messages, keys and show requests; the player enumerates, finds and drives them.
//
//   bus name   org.sorrel.ForeignWindows.P<pid>_<n>   one per publisher (n counts the
//                                                      publishers of a process), so any
//                                                      number of peers, and any number
//                                                      of windows of one class, coexist
//   path       /org/sorrel/ForeignWindows
//   interface  org.sorrel.ForeignWindows
//     Tree() -> (au ids, au parents, as classes, as titles, ai rects, au states)
//                 every window in enumeration order, parents before their children;
//                 parent 0: top level; rects x, y, width, height per window (screen);
//                 states: kVisible | kMinimised | kMaximised
//     Capture(u id, i x, i y, i width, i height) -> (i width, i height, ay rgb)
//                 x, y from the window's top left corner; rows top down, 3 bytes a pixel
//     Post(u id, u msg, i wParam, i lParam)            queued, no reply
//     Send(u id, u msg, i wParam, i lParam) -> i       handled before the reply
//     Key(u virtualKey, b up)                          to the window with the keyboard
//     Show(u id, u command) -> b                       a ShowCommand
//   A call about a window the publisher does not have (any more) gets the error
//   org.sorrel.ForeignWindows.Error.NoWindow.
//
// Peers are enumerated in the order their connections joined the bus (by unique name).
// Window ids are the publisher's and never reused by it.  The client's handles are
// 64-bit, its own, and never reused within a run: a handle names one window of one bus
// connection, and a bus never hands out a connection name twice, so the handle of a
// window (or peer) that has gone stays dead.  Every call has a time-out; a peer that
// hangs, vanishes, floods or answers nonsense costs the caller at most that time.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace sorrel::desktop {

inline constexpr const char* kForeignBusPrefix = "org.sorrel.ForeignWindows.";
inline constexpr const char* kForeignPath = "/org/sorrel/ForeignWindows";
inline constexpr const char* kForeignInterface = "org.sorrel.ForeignWindows";

inline constexpr uint32_t kVisible = 1;
inline constexpr uint32_t kMinimised = 2;
inline constexpr uint32_t kMaximised = 4;

enum class ShowCommand : uint32_t { Forward = 1, Minimise = 2, Restore = 3, Maximise = 4, Normal = 5 };
// "forward", "minimise", ... ; "?" for any other value.
const char* ShowCommandName(uint32_t command);

// 24-bit pixels as a peer sent them: rows top down, red, green, blue.  Nothing checks
// that rgb holds width x height pixels; the reader does.
struct ForeignImage {
  int width = 0;
  int height = 0;
  QByteArray rgb;
};

// ---- the peer's side -------------------------------------------------------------------

// What the player delivers to a published window.  Called on the publisher's thread.
class ForeignWindowReceiver {
 public:
  virtual ~ForeignWindowReceiver() = default;
  virtual int32_t Message(uint32_t window, uint32_t msg, int32_t wParam, int32_t lParam, bool posted) = 0;
  virtual void Key(uint32_t virtualKey, bool up) = 0;
  // False refuses (the publisher then leaves the state as it was).
  virtual bool Show(uint32_t window, ShowCommand command) = 0;
};

// The pixels of (x, y, width, height) of a window, from its top left corner.
using PixelProvider = std::function<ForeignImage(int x, int y, int width, int height)>;

class ForeignWindowPublisher : public QObject {
  Q_OBJECT
 public:
  enum class Result { Published, NoBus };

  explicit ForeignWindowPublisher(ForeignWindowReceiver& receiver, QObject* parent = nullptr);
  ~ForeignWindowPublisher() override;

  Result Publish();
  QString BusName() const { return busName_; }

  // A window appended to `parent`'s children (0: a top-level window); its id, never 0.
  uint32_t Add(uint32_t parent, const QString& className, const QString& title, const QRect& screenRect,
               uint32_t state = kVisible, PixelProvider pixels = {});
  // The window and all its descendants.
  void Remove(uint32_t id);
  bool Exists(uint32_t id) const { return windows_.count(id) != 0; }
  void SetTitle(uint32_t id, const QString& title);
  void SetRect(uint32_t id, const QRect& screenRect);
  void SetState(uint32_t id, uint32_t state);
  uint32_t State(uint32_t id) const;
  QRect Rect(uint32_t id) const;
  QString Title(uint32_t id) const;
  QString ClassName(uint32_t id) const;
  void SetPixels(uint32_t id, PixelProvider pixels);

  ForeignWindowReceiver& Receiver() const { return receiver_; }

  // The bus face's work; public for its adaptor.
  struct TreeReply {
    QList<uint> ids, parents, states;
    QStringList classes, titles;
    QList<int> rects;
  };
  TreeReply Tree() const;
  ForeignImage Capture(uint32_t id, int x, int y, int width, int height) const;
  bool Show(uint32_t id, ShowCommand command);

 private:
  struct Window {
    uint32_t parent = 0;
    QString className, title;
    QRect rect;
    uint32_t state = kVisible;
    PixelProvider pixels;
    std::vector<uint32_t> children;
  };
  void AppendTree(uint32_t id, TreeReply& out) const;

  ForeignWindowReceiver& receiver_;
  std::map<uint32_t, Window> windows_;
  std::vector<uint32_t> topLevel_;
  uint32_t nextId_ = 1;
  QString connectionName_, busName_;
  bool published_ = false;
};

// ---- the player's side -----------------------------------------------------------------

using ForeignHandle = uint64_t;  // 0: none

struct ForeignWindowInfo {
  ForeignHandle handle = 0;
  ForeignHandle parent = 0;
  QString className, title;
  QRect rect;  // screen coordinates
  uint32_t state = 0;
  bool shown = false;  // visible, and so are all its ancestors (IsWindowVisible)
  bool Visible() const { return state & kVisible; }
  bool Minimised() const { return state & kMinimised; }
  bool Maximised() const { return state & kMaximised; }
};

// Thread-safe; every call returns within the time-out it is given (the client's own for
// those without one), plus the bus daemon's answer to a name query.
class ForeignWindowClient {
 public:
  explicit ForeignWindowClient(int timeoutMs = 1000) : timeoutMs_(timeoutMs) {}

  // The top-level windows of every peer: peers in the order they joined the bus, each
  // peer's windows in its enumeration order.  A peer that does not answer in time but is
  // still on the bus (hung) is taken as it last answered; one never heard is left out.
  // Info, ChildWindows and the finds see the same windows.
  std::vector<ForeignWindowInfo> TopLevelWindows();
  // The descendants of `parent` in enumeration order (children before their own
  // children when `allLevels`, as a depth-first walk), or only its direct children.
  std::vector<ForeignWindowInfo> ChildWindows(ForeignHandle parent, bool allLevels = true);
  std::optional<ForeignWindowInfo> Info(ForeignHandle window);

  struct Match {
    std::optional<QString> className;
    std::optional<QString> title;
    bool titlePrefix = false;  // the title begins with `title`
    bool titleContains = false;
    bool Accepts(const ForeignWindowInfo& w) const;
  };
  // The first top-level window that matches, or 0.
  ForeignHandle FindTopLevel(const Match& match);
  // The first descendant (all levels) of `parent` that matches, or 0.
  ForeignHandle FindChild(ForeignHandle parent, const Match& match);

  // What the peer sent, or nullopt when the window is gone or did not answer.
  std::optional<ForeignImage> Capture(ForeignHandle window, int x, int y, int width, int height);
  // True once the bus has taken the message for a peer that is there.
  bool Post(ForeignHandle window, uint32_t msg, int32_t wParam, int32_t lParam);
  // The window's answer; nullopt when it has gone, failed or took longer than timeoutMs.
  std::optional<int32_t> Send(ForeignHandle window, uint32_t msg, int32_t wParam, int32_t lParam,
                              int timeoutMs);
  // To the peer of the window last brought forward by Show (keybd_event goes to whatever
  // has the keyboard); false when there is none.
  bool KeyEvent(uint32_t virtualKey, bool up);
  bool Show(ForeignHandle window, ShowCommand command);
  // The process behind the window's peer, from the bus.
  std::optional<uint32_t> ProcessId(ForeignHandle window);
  // Ends that process at once (SIGKILL).  False when there is no such peer, or it is
  // this process.
  bool Terminate(ForeignHandle window);

  int TimeoutMs() const { return timeoutMs_; }

 private:
  struct Ref {
    QString owner;  // the peer's unique connection name
    uint32_t id = 0;
  };
  struct Peer {
    QString owner;
    std::vector<ForeignWindowInfo> windows;  // enumeration order
  };
  ForeignHandle HandleFor(const QString& owner, uint32_t id);
  std::optional<Ref> RefOf(ForeignHandle h);
  std::vector<QString> PeerOwners();
  // The trees of these peers, asked all at once and waited for together.
  std::vector<Peer> Trees(const std::vector<QString>& owners);
  std::optional<Peer> PeerOf(ForeignHandle h);
  // The peer's connection is on the bus (asked of the bus daemon).
  bool OnBus(const QString& owner);
  // The time-out of a call to the peer: short while it is known to hang.
  int PeerTimeoutMs(const QString& owner);

  int timeoutMs_;
  std::mutex mutex_;
  std::map<ForeignHandle, Ref> byHandle_;
  std::map<std::pair<QString, uint32_t>, ForeignHandle> byRef_;
  std::map<QString, Peer> lastTrees_;  // by owner: each peer's last answered tree
  std::set<QString> hung_;             // owners whose last tree call timed out
  ForeignHandle next_ = 1;
  std::optional<QString> keyboardOwner_;
};

}  // namespace sorrel::desktop
