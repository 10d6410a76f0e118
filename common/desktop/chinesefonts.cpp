#include "common/desktop/chinesefonts.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

using namespace Qt::StringLiterals;

namespace Global {

namespace {

// Installed faces of each design, best first. The Noto CJK faces come with
// the desktop's Chinese font package; the others are older Debian faces.
const QStringList SerifFaces = {
    u"Noto Serif CJK SC"_s, u"Source Han Serif SC"_s, u"AR PL UMing CN"_s, u"AR PL SungtiL GB"_s};
const QStringList SansFaces = {u"Noto Sans CJK SC"_s, u"Source Han Sans SC"_s,
    u"WenQuanYi Zen Hei"_s, u"WenQuanYi Micro Hei"_s, u"Droid Sans Fallback"_s};
const QStringList KaiFaces = {u"AR PL UKai CN"_s, u"AR PL KaitiM GB"_s};
const QStringList MonoFaces = {u"Noto Sans Mono CJK SC"_s, u"WenQuanYi Zen Hei Mono"_s};

enum class Design { None, Serif, Sans, Kai };

Design designOf(const QString &family)
{
    // Chinese and Latin spellings of the faces that Chinese documents and
    // older programs name.
    static const QStringList serif = {u"宋体"_s, u"新宋体"_s, u"仿宋"_s, u"仿宋_GB2312"_s,
        u"华文宋体"_s, u"华文仿宋"_s, u"SimSun"_s, u"NSimSun"_s, u"FangSong"_s,
        u"FangSong_GB2312"_s, u"STSong"_s, u"STFangsong"_s, u"SimSun-ExtB"_s};
    static const QStringList sans = {u"黑体"_s, u"微软雅黑"_s, u"幼圆"_s, u"华文细黑"_s,
        u"华文黑体"_s, u"SimHei"_s, u"Microsoft YaHei"_s, u"Microsoft YaHei UI"_s, u"YouYuan"_s,
        u"STXihei"_s, u"STHeiti"_s};
    static const QStringList kai
        = {u"楷体"_s, u"楷体_GB2312"_s, u"华文楷体"_s, u"KaiTi"_s, u"KaiTi_GB2312"_s, u"STKaiti"_s};
    for (const QString &name : serif)
        if (family.compare(name, Qt::CaseInsensitive) == 0)
            return Design::Serif;
    for (const QString &name : sans)
        if (family.compare(name, Qt::CaseInsensitive) == 0)
            return Design::Sans;
    for (const QString &name : kai)
        if (family.compare(name, Qt::CaseInsensitive) == 0)
            return Design::Kai;
    return Design::None;
}

QStringList installed(const QStringList &faces)
{
    const QStringList families = QFontDatabase::families();
    QStringList found;
    for (const QString &face : faces)
        if (families.contains(face, Qt::CaseInsensitive))
            found.append(face);
    return found;
}

const QStringList &allNames()
{
    static const QStringList names = {u"宋体"_s, u"新宋体"_s, u"仿宋"_s, u"仿宋_GB2312"_s,
        u"华文宋体"_s, u"华文仿宋"_s, u"SimSun"_s, u"NSimSun"_s, u"FangSong"_s,
        u"FangSong_GB2312"_s, u"STSong"_s, u"STFangsong"_s, u"SimSun-ExtB"_s, u"黑体"_s,
        u"微软雅黑"_s, u"幼圆"_s, u"华文细黑"_s, u"华文黑体"_s, u"SimHei"_s, u"Microsoft YaHei"_s,
        u"Microsoft YaHei UI"_s, u"YouYuan"_s, u"STXihei"_s, u"STHeiti"_s, u"楷体"_s,
        u"楷体_GB2312"_s, u"华文楷体"_s, u"KaiTi"_s, u"KaiTi_GB2312"_s, u"STKaiti"_s};
    return names;
}

void appendSubstitutes(const QString &family, const QStringList &faces)
{
    QStringList wanted = QFont::substitutes(family);
    for (const QString &face : faces)
        if (!wanted.contains(face, Qt::CaseInsensitive))
            wanted.append(face);
    QFont::removeSubstitutions(family);
    QFont::insertSubstitutions(family, wanted);
}

} // namespace

QStringList ChineseFaceSubstitutes(const QString &family)
{
    switch (designOf(family)) {
    case Design::None: return {};
    case Design::Serif: return installed(SerifFaces + SansFaces);
    case Design::Sans: return installed(SansFaces + SerifFaces);
    // Without a Kai face, a serif face is the nearer brush form.
    case Design::Kai: return installed(KaiFaces + SerifFaces + SansFaces);
    }
    return {};
}

QString InstallChineseFonts()
{
    for (const QString &name : allNames()) {
        const QStringList faces = ChineseFaceSubstitutes(name);
        if (!faces.isEmpty())
            appendSubstitutes(name, faces);
    }
    const QStringList sans = installed(SansFaces);
    if (sans.isEmpty())
        return {};
    // A face named with no Han glyphs of its own falls back through its
    // substitutes before the system's choice, which follows the locale.
    const QStringList serif = installed(SerifFaces);
    const QStringList mono = installed(MonoFaces);
    for (const QString &generic : {u"Sans Serif"_s, u"sans-serif"_s, u"Sans"_s, u"Helvetica"_s,
             u"Arial"_s, u"DejaVu Sans"_s, u"Noto Sans"_s, u"Liberation Sans"_s})
        appendSubstitutes(generic, sans);
    for (const QString &generic : {u"Serif"_s, u"serif"_s, u"Times"_s, u"Times New Roman"_s,
             u"DejaVu Serif"_s, u"Noto Serif"_s, u"Liberation Serif"_s})
        appendSubstitutes(generic, serif.isEmpty() ? sans : serif);
    for (const QString &generic :
        {u"Monospace"_s, u"monospace"_s, u"DejaVu Sans Mono"_s, u"Courier New"_s})
        appendSubstitutes(generic, mono.isEmpty() ? sans : mono);

    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance())) {
        QFont font = QApplication::font();
        appendSubstitutes(font.family(), sans);
        QStringList families = font.families();
        if (families.isEmpty())
            families.append(font.family());
        for (const QString &face : sans)
            if (!families.contains(face, Qt::CaseInsensitive))
                families.append(face);
        font.setFamilies(families);
        app->setFont(font);
    }
    return sans.constFirst();
}

} // namespace Global
