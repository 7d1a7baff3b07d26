// Late-bound automation over the session bus (base/Automation.h's backend).
//
// An object of programmatic name P ("Mapple.Document") is served under
//
//   bus name   org.sorrel.Automation.<P>   (each dot-separated part of P encoded as the
//                                           window bus names encode a class: "Mapple.
//                                           Document" is org.sorrel.Automation.Mapple.
//                                           Document, "My-App.Doc" My-2DApp.Doc)
//   path       /org/sorrel/Automation
//   interface  org.sorrel.Automation
//     Invoke(s name, i kind, av args, ai byRef) -> (av result, av args)
//       kind: 1 method, 2 property get, 4 property put; byRef: the indices of the
//       by-reference arguments; result: empty or one value; args: every argument as the
//       callee left it.  Values are i (integer), b (Boolean) or s (string).
//     errors org.sorrel.Automation.Error.UnknownName, .BadArguments, .Failed
//
// Creating an object binds it to the unique bus name of the program serving the name at
// that moment (starting it by bus activation when a service file says how), so that an
// object outlives no restart of its program: calls then fail as Gone.  Calls are blocking
// with a time-out and may be made from any thread.
#pragma once

#include "base/Automation.h"

#include <QObject>
#include <QString>

namespace sorrel::desktop {

inline constexpr const char* kAutomationNamePrefix = "org.sorrel.Automation.";
inline constexpr const char* kAutomationPath = "/org/sorrel/Automation";
inline constexpr const char* kAutomationInterface = "org.sorrel.Automation";

// Empty when `progId` has an empty part or is too long for a bus name.
QString BusNameForProgId(const QString& progId);

class BusAutomation final : public base::TAutomationIntf {
 public:
  static constexpr int kDefaultCallMs = 5000;
  static constexpr int kDefaultStartMs = 15000;
  // Each call of an object created here gives up after `callMs`; starting a program
  // by activation after `startMs`.
  explicit BusAutomation(int callMs = kDefaultCallMs, int startMs = kDefaultStartMs)
      : callMs_(callMs), startMs_(startMs) {}
  std::unique_ptr<base::TAutoObjectIntf> CreateObject(const std::string& progId,
                                                      base::TAutoStatus* status = nullptr) override;

 private:
  int callMs_;
  int startMs_;
};

// Serves `object` under `progId`'s bus name, from the event loop of the thread that
// publishes it.  The object answers with Ok, UnknownName, BadArguments or Failed; a
// by-reference argument it changes goes back to the caller.
class AutomationServer : public QObject {
  Q_OBJECT
 public:
  enum class Result { Published, NameTaken, NoBus, BadName };
  AutomationServer(QString progId, base::TAutoObjectIntf& object, QObject* parent = nullptr);
  ~AutomationServer() override;  // gives the name up
  Result Publish();
  QString ProgId() const { return progId_; }
  base::TAutoObjectIntf& Object() const { return object_; }
  QString ConnectionName() const { return connectionName_; }

 private:
  QString progId_;
  base::TAutoObjectIntf& object_;
  QString connectionName_;
  bool published_ = false;
};

}  // namespace sorrel::desktop
