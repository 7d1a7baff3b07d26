// The main window's side of the settings window, for its tests.
#pragma once

#include "settings/core/CommandSettings.h"

#include <QWidget>

#include <string>
#include <vector>

namespace sorrel::settings::test {

// The main window's side: the settings record, changed by the steps of "設 定".
class FakeHost : public TCommandFormHost {
 public:
  TCommandValues CommandValues() const override { return record; }
  std::string HomeDir() const override { return home; }
  void StoreColorDialogOption(const std::string& text) override { record.ColorDialogOption = text; }
  void ApplyListLimits(const TListLimits& v) override {
    Step("lists");
    record.Lists = v;
  }
  void ApplyAlarmParameters(const TAlarmParameters& v) override {
    Step("alarm");
    record.Alarm = v;
  }
  void CloseCommandForm() override {
    Step("close");
    if (form) form->hide();
  }
  void ApplyBackColor(TColor c) override {
    Step("back");
    record.BackColor = c;
  }
  void ApplyFrameColors(TColor a, TColor d) override {
    Step("frames");
    record.ActiveFrameColor = a;
    record.DeactiveFrameColor = d;
  }
  bool ShowBackPicture(const std::string& f) override {
    Step("show " + f);
    return pictureLoads;
  }
  void StoreBackPictureFileName(const std::string& f) override {
    Step("picture");
    record.BackPictureFileName = f;
  }
  void ApplyTitleColors(TColor a, TColor d) override {
    Step("title colours");
    record.ActiveTitleFontColor = a;
    record.DeactiveTitleFontColor = d;
  }
  void ApplyLabelFont(TLabelFont l, const TTextFont& f) override {
    Step("font");
    record.Font(l) = f;
  }
  void ApplyLabelFontColor(TColor c) override {
    Step("labels");
    record.LabelFontColor = c;
  }
  void ApplyCurTimeShowSec(bool on) override {
    Step("sec");
    record.CurTimeShowSec = on;
  }
  void ApplyLyricPlacement(const TLyricPlacement& v) override {
    Step("lyric place");
    record.LyricPlacement = v;
  }
  void ApplyLyricLook(const TLyricLook& v) override {
    Step("lyric look");
    record.Lyric = v;
  }
  void ApplyKSLyricFontSize(int s) override {
    Step("ks");
    record.KSLyricFontSize = s;
  }
  void ApplyTitleAdditions(const TTitleAdditions& v) override {
    Step("additions");
    record.Additions = v;
  }
  void RefreshMainDisplay() override { Step("refresh"); }
  void MarkSettingsChanged() override { Step("changed"); }

  void Step(const std::string& s) { steps.push_back(s); }

  TCommandValues record;
  std::string home = "/";
  bool pictureLoads = true;
  std::vector<std::string> steps;
  QWidget* form = nullptr;
};

}  // namespace sorrel::settings::test
