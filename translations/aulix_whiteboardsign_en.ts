<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
  <context>
    <name>WhiteBoardSign</name>
    <message>
      <source>白板</source>
      <translation>Whiteboard</translation>
    </message>
    <message>
      <source>老师在这里画图和写字</source>
      <translation>The teacher draws and writes here</translation>
    </message>
  </context>
</TS>
