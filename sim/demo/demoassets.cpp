// lumo-sim-demoassets: writes the files of the demo course (pictures, a web
// page, a sound) into two unit folders, for lumo-courseware to pack.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <cmath>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

QImage slide(const QString &title, const QString &subtitle, const QColor &background)
{
    QImage image(800, 600, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font(u"Noto Sans CJK SC"_s);
    font.setPixelSize(56);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 150, 800, 120), Qt::AlignCenter, title);
    font.setPixelSize(30);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(QRect(0, 290, 800, 80), Qt::AlignCenter, subtitle);
    return image;
}

QImage shapes()
{
    QImage image(800, 600, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 4));
    painter.setBrush(QColor(230, 60, 60));
    painter.drawRect(80, 120, 180, 180);
    painter.setBrush(QColor(60, 160, 230));
    painter.drawEllipse(310, 120, 180, 180);
    painter.setBrush(QColor(250, 200, 40));
    painter.drawPolygon(QPolygon({QPoint(630, 120), QPoint(720, 300), QPoint(540, 300)}));
    QFont font(u"Noto Sans CJK SC"_s);
    font.setPixelSize(34);
    painter.setFont(font);
    painter.drawText(QRect(0, 380, 800, 60), Qt::AlignCenter, u"square  ·  circle  ·  triangle"_s);
    painter.drawText(QRect(0, 450, 800, 60), Qt::AlignCenter, u"正方形 · 圆形 · 三角形"_s);
    return image;
}

// A two-note chime, 16-bit mono PCM at 16 kHz, for builds without a
// speech synthesiser.
QByteArray chimeWav()
{
    constexpr int rate = 16000;
    constexpr int samples = rate * 3 / 2;
    QByteArray pcm(samples * 2, '\0');
    for (int i = 0; i < samples; ++i) {
        const double t = double(i) / rate;
        const double frequency = t < 0.6 ? 660.0 : 880.0;
        const double envelope = std::exp(-3.0 * (t < 0.6 ? t : t - 0.6));
        const auto value = qint16(12000.0 * envelope * std::sin(2.0 * M_PI * frequency * t));
        qToLittleEndian<qint16>(value, pcm.data() + 2 * i);
    }
    QByteArray wav("RIFF");
    auto append32 = [&wav](quint32 v) {
        wav.append(4, '\0');
        qToLittleEndian<quint32>(v, wav.data() + wav.size() - 4);
    };
    auto append16 = [&wav](quint16 v) {
        wav.append(2, '\0');
        qToLittleEndian<quint16>(v, wav.data() + wav.size() - 2);
    };
    append32(quint32(36 + pcm.size()));
    wav.append("WAVEfmt ");
    append32(16);
    append16(1); // PCM
    append16(1); // mono
    append32(rate);
    append32(rate * 2);
    append16(2);
    append16(16);
    wav.append("data");
    append32(quint32(pcm.size()));
    wav.append(pcm);
    return wav;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: lumo-sim-demoassets OUTDIR PAGE.html [SPEECH.wav]\n");
        return 2;
    }
    const QDir out(args.at(0));
    const QString unit1 = out.filePath(u"第一单元 问候"_s);
    const QString unit2 = out.filePath(u"第二单元 颜色和形状"_s);
    if (!QDir().mkpath(unit1) || !QDir().mkpath(unit2)) {
        std::fprintf(stderr, "lumo-sim-demoassets: cannot create the unit folders\n");
        return 1;
    }
    QFile page(args.at(1));
    QByteArray sound = chimeWav();
    if (args.size() > 2) {
        QFile speech(args.at(2));
        if (speech.open(QIODevice::ReadOnly) && speech.size() > 44)
            sound = speech.readAll();
    }
    const bool ok
        = slide(u"你好！Hello!"_s, u"第一单元：问候 · Unit 1: Greetings"_s, QColor(40, 110, 180))
              .save(QDir(unit1).filePath(u"01 hello.png"_s))
        && page.open(QIODevice::ReadOnly)
        && writeFile(QDir(unit1).filePath(u"02 welcome.html"_s), page.readAll())
        && writeFile(QDir(unit1).filePath(u"03 hello.wav"_s), sound)
        && slide(u"颜色 Colours"_s, u"红 red · 绿 green · 蓝 blue"_s, QColor(60, 140, 80))
               .save(QDir(unit2).filePath(u"01 colours.jpg"_s), "JPG", 90)
        && shapes().save(QDir(unit2).filePath(u"02 shapes.png"_s));
    if (!ok) {
        std::fprintf(stderr, "lumo-sim-demoassets: cannot write the demo files\n");
        return 1;
    }
    return 0;
}
