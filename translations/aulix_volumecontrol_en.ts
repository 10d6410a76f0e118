<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
  <context>
    <name>VolumeControl</name>
    <message>
      <source>话筒不可用：老师还没有允许你发言</source>
      <translation>Microphone unavailable: the teacher has not allowed you to speak yet</translation>
    </message>
    <message>
      <source>话筒：正在发言</source>
      <translation>Microphone: you are speaking</translation>
    </message>
    <message>
      <source>话筒：按下向老师请求发言</source>
      <translation>Microphone: press to ask the teacher to speak</translation>
    </message>
    <message>
      <source>话筒</source>
      <translation>Microphone</translation>
    </message>
    <message>
      <source>扬声器音量</source>
      <translation>Speaker volume</translation>
    </message>
    <message>
      <source>话筒音量</source>
      <translation>Microphone volume</translation>
    </message>
    <message>
      <source>扬声器</source>
      <translation>Speaker</translation>
    </message>
    <message>
      <source>音量</source>
      <translation>Volume</translation>
    </message>
  </context>
</TS>
