// Filling and scrolling the play file list with 100,000 songs (Qt's offscreen platform
// unless QT_QPA_PLATFORM says otherwise).  Prints figures; asserts nothing.
//
//   bench_play_file_list [songs]
//
// The songs are empty files in 1,000 directories of a generated tree in the build
// directory, built into the play files once; then, five times each: the rows replaced
// and the window painted (what a Play or a shuffle costs the window), a page scrolled
// with Page Down and painted, a wheel turn and painted, and the end reached with End.
#include "playlist/ui/PlayFileList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

using sorrel::playlist::Tfm_PlayFileList;

namespace {

double Ms(QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Paints the list now, as the screen would be updated.
void Paint(Tfm_PlayFileList& w) { w.ListBox()->viewport()->repaint(); }

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int songs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
  const int perDir = 100;
  const std::string root = std::string(SORREL_BUILD_DIR) + "/bench-trees/play-file-list";
  std::vector<std::string> dirs;
  QElapsedTimer t;
  t.start();
  for (int d = 0; d * perDir < songs; ++d) {
    const std::string dir = root + "/Artist " + std::to_string(d / 10) + "/Album " + std::to_string(d);
    dirs.push_back(dir);
    if (std::filesystem::exists(dir)) continue;
    std::filesystem::create_directories(dir);
    for (int i = 0; i < perDir && d * perDir + i < songs; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "/%02d Track number %d.mp3", i + 1, d * perDir + i);
      std::ofstream(dir + name);
    }
  }
  std::printf("tree of %d songs in %zu directories ready in %.0f ms\n", songs, dirs.size(), Ms(t));

  Tfm_PlayFileList w;
  t.restart();
  w.PlayFiles().BuildPlayFiles(dirs, false, false);
  std::printf("play files built: %zu songs in %.1f ms\n", w.PlayFiles().Count(), Ms(t));
  w.show();
  if (!QTest::qWaitForWindowExposed(&w)) std::puts("(window not exposed; paints may be skipped)");
  QListView* list = w.ListBox();

  std::vector<double> fill, page, wheel, end;
  for (int round = 0; round < 5; ++round) {
    t.restart();
    w.RowsChanged();
    w.SelectRow(round * 1000);
    Paint(w);
    fill.push_back(Ms(t));

    t.restart();
    QTest::keyClick(list, Qt::Key_PageDown);
    Paint(w);
    page.push_back(Ms(t));

    t.restart();
    list->verticalScrollBar()->setValue(list->verticalScrollBar()->value() + 3);
    w.ShowItemHint();
    Paint(w);
    wheel.push_back(Ms(t));

    t.restart();
    QTest::keyClick(list, Qt::Key_End);
    Paint(w);
    end.push_back(Ms(t));
    QTest::keyClick(list, Qt::Key_Home);
  }
  std::printf("rows shown (reset, highlight, paint)   median %7.2f ms  max %7.2f ms\n", Median(fill),
              *std::max_element(fill.begin(), fill.end()));
  std::printf("page scrolled (Page Down, paint)       median %7.2f ms  max %7.2f ms\n", Median(page),
              *std::max_element(page.begin(), page.end()));
  std::printf("three rows scrolled (hint, paint)      median %7.2f ms  max %7.2f ms\n", Median(wheel),
              *std::max_element(wheel.begin(), wheel.end()));
  std::printf("to the last row (End, paint)           median %7.2f ms  max %7.2f ms\n", Median(end),
              *std::max_element(end.begin(), end.end()));
  std::printf("rows: %d, last: %s\n", list->model()->rowCount(),
              w.RowText(list->model()->rowCount() - 1).toUtf8().constData());
  return 0;
}
