<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
  <context>
    <name>Manage</name>
    <message>
      <source>课件目录</source>
      <translation>Course contents</translation>
    </message>
    <message>
      <source>打开</source>
      <translation>Open</translation>
    </message>
    <message>
      <source>保存</source>
      <translation>Save</translation>
    </message>
    <message>
      <source>新建</source>
      <translation>New</translation>
    </message>
    <message>
      <source>创建目录</source>
      <translation>New folder</translation>
    </message>
    <message>
      <source>插入文件</source>
      <translation>Insert file</translation>
    </message>
    <message>
      <source>插入URL</source>
      <translation>Insert URL</translation>
    </message>
    <message>
      <source>播放(&amp;P)</source>
      <translation>&amp;Play</translation>
    </message>
    <message>
      <source>编辑(&amp;E)</source>
      <translation>&amp;Edit</translation>
    </message>
    <message>
      <source>删除(&amp;D)</source>
      <translation>&amp;Delete</translation>
    </message>
    <message>
      <source>重命名(&amp;M)</source>
      <translation>Rena&amp;me</translation>
    </message>
    <message>
      <source>主讲人名称(&amp;N)</source>
      <translation>Presenter &amp;name</translation>
    </message>
    <message>
      <source>属性(&amp;R)</source>
      <translation>P&amp;roperties</translation>
    </message>
  </context>
  <context>
    <name>NodePropertiesWindow</name>
    <message>
      <source>节点属性</source>
      <translation>Node properties</translation>
    </message>
  </context>
</TS>
