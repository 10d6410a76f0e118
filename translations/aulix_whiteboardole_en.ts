<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
  <context>
    <name>PlayForm</name>
    <message>
      <source>播放</source>
      <translation>Play</translation>
    </message>
    <message>
      <source>视频</source>
      <translation>Video</translation>
    </message>
    <message>
      <source>播放位置</source>
      <translation>Playback position</translation>
    </message>
    <message>
      <source>暂停</source>
      <translation>Pause</translation>
    </message>
    <message>
      <source>播放 - %1</source>
      <translation>Play - %1</translation>
    </message>
  </context>
  <context>
    <name>WhiteBoardOLE</name>
    <message>
      <source>课件图片</source>
      <translation>Courseware picture</translation>
    </message>
    <message>
      <source>课件</source>
      <translation>Courseware</translation>
    </message>
    <message>
      <source>老师播放的课件（图片、网页、声音和视频）会显示在这里</source>
      <translation>Courseware the teacher plays (pictures, web pages, sound and video) appears here</translation>
    </message>
  </context>
</TS>
