// Late-bound automation: another program's object, found by its programmatic name
// ("Mapple.Document"), whose methods and properties are called by name with integer,
// Boolean and string arguments, by value or by reference.  The bus backend lives in
// platform/desktop (BusAutomation.h); the map link and its tests see only this.
//
// Every call ends: it either answers or fails (the backend's time-out included), and a
// failure says why.  An object that has failed once keeps working or failing on its own
// merits; whoever holds it decides whether to drop it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace sorrel::base {

// What a call does with the name (the values of the dispatch flags).
enum class TInvokeKind : int32_t { Method = 1, PropertyGet = 2, PropertyPut = 4 };

// An argument or a result.  monostate: none (a method without a result).
using TAutoValue = std::variant<std::monostate, int32_t, bool, std::string>;

// One argument.  A by-reference argument carries the caller's value in and the callee's
// value back out (after a successful call `value` holds what the callee left there).
struct TAutoArg {
  TAutoValue value;
  bool byRef = false;

  static TAutoArg Int(int32_t v) { return {TAutoValue(v), false}; }
  static TAutoArg RefInt(int32_t v) { return {TAutoValue(v), true}; }
  static TAutoArg Bool(bool v) { return {TAutoValue(v), false}; }
  static TAutoArg Str(std::string v) { return {TAutoValue(std::move(v)), false}; }
  bool operator==(const TAutoArg&) const = default;
};

enum class TAutoStatus {
  Ok,
  NoServer,      // nobody serves the name, and it could not be started
  Gone,          // the object's program has ended (or the bus went away)
  TimedOut,      // no answer within the time-out
  UnknownName,   // the object has no such method or property
  BadArguments,  // wrong number or types of arguments
  Failed,        // the object raised an error of its own
};

const char* AutoStatusName(TAutoStatus s);

struct TAutoResult {
  TAutoStatus status = TAutoStatus::Ok;
  TAutoValue value;     // the result, when the call has one
  std::string message;  // the reason of a failure, for logs
  bool Ok() const { return status == TAutoStatus::Ok; }
};

// One object of another program.
class TAutoObjectIntf {
 public:
  virtual ~TAutoObjectIntf() = default;
  // By-reference arguments in `args` are updated when the call succeeds.
  virtual TAutoResult Invoke(const std::string& name, TInvokeKind kind, std::vector<TAutoArg>& args) = 0;

  // Shorthands.
  TAutoResult Call(const std::string& name, std::vector<TAutoArg>& args) {
    return Invoke(name, TInvokeKind::Method, args);
  }
  TAutoResult Call(const std::string& name) {
    std::vector<TAutoArg> none;
    return Invoke(name, TInvokeKind::Method, none);
  }
  TAutoResult Put(const std::string& name, TAutoArg value) {
    std::vector<TAutoArg> one{std::move(value)};
    return Invoke(name, TInvokeKind::PropertyPut, one);
  }
  TAutoResult Get(const std::string& name) {
    std::vector<TAutoArg> none;
    return Invoke(name, TInvokeKind::PropertyGet, none);
  }
};

// The creator of objects (CreateOleObject's role).
class TAutomationIntf {
 public:
  virtual ~TAutomationIntf() = default;
  // The object served under `progId`; starts its program when the system knows how.
  // Null with `status` (when given) set on failure.
  virtual std::unique_ptr<TAutoObjectIntf> CreateObject(const std::string& progId,
                                                        TAutoStatus* status = nullptr) = 0;
};

inline const char* AutoStatusName(TAutoStatus s) {
  switch (s) {
    case TAutoStatus::Ok:
      return "ok";
    case TAutoStatus::NoServer:
      return "no server";
    case TAutoStatus::Gone:
      return "gone";
    case TAutoStatus::TimedOut:
      return "timed out";
    case TAutoStatus::UnknownName:
      return "unknown name";
    case TAutoStatus::BadArguments:
      return "bad arguments";
    case TAutoStatus::Failed:
      return "failed";
  }
  return "?";
}

}  // namespace sorrel::base
