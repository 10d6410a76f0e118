#pragma once

#include "controls/whiteboardole/aulix_whiteboardole_export.h"

#include <QImage>
#include <QWidget>

// The image area of the presentation control: one courseware picture, scaled
// to fit without distortion and centred.
class AULIX_WHITEBOARDOLE_EXPORT PictureArea : public QWidget
{
    Q_OBJECT

public:
    explicit PictureArea(QWidget *parent = nullptr);

    // False (and the old picture kept) when the file is not a readable picture.
    bool loadFile(const QString &path, QString *error = nullptr);
    QImage image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};
