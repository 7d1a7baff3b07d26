#include "controls/FontNames.h"

#include <QFont>
#include <QString>
#include <QStringList>

namespace sorrel::controls {

void RegisterFontSubstitutions() {
  // Fontconfig knows each IPA family by its English and its Japanese name.
  QFont::insertSubstitutions(QStringLiteral("ＭＳ 明朝"),
                             {QStringLiteral("IPAMincho"), QStringLiteral("IPA明朝")});
  QFont::insertSubstitutions(
      QStringLiteral("ＭＳ Ｐ明朝"),
      {QStringLiteral("IPAPMincho"), QStringLiteral("IPA P明朝"), QStringLiteral("IPAMincho")});
  QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"),
                             {QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック")});
  QFont::insertSubstitutions(
      QStringLiteral("ＭＳ Ｐゴシック"),
      {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"), QStringLiteral("IPAGothic")});
}

}  // namespace sorrel::controls
