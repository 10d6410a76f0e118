<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
  <context>
    <name>NotesManage</name>
    <message>
      <source>所有人</source>
      <translation>Everybody</translation>
    </message>
    <message>
      <source>你</source>
      <translation>You</translation>
    </message>
    <message>
      <source>输入短消息，按回车发送</source>
      <translation>Type a note, press Enter to send</translation>
    </message>
    <message>
      <source>短消息已关闭</source>
      <translation>Notes are switched off</translation>
    </message>
    <message>
      <source>LumoClass--系统提示：</source>
      <translation>LumoClass -- System message:</translation>
    </message>
    <message>
      <source>短消息长度不应超过128个字符！</source>
      <translation>A note must not be longer than 128 characters!</translation>
    </message>
    <message>
      <source>老师和同学的短消息会显示在这里</source>
      <translation>Notes from the teacher and classmates appear here</translation>
    </message>
    <message>
      <source>短消息记录</source>
      <translation>Note history</translation>
    </message>
    <message>
      <source>收信人</source>
      <translation>Recipient</translation>
    </message>
    <message>
      <source>短消息发给谁</source>
      <translation>Who the note goes to</translation>
    </message>
    <message>
      <source>短消息</source>
      <translation>Note</translation>
    </message>
    <message>
      <source>发送</source>
      <translation>Send</translation>
    </message>
    <message>
      <source>把短消息发给所选的收信人</source>
      <translation>Sends the note to the chosen recipient</translation>
    </message>
    <message>
      <source>系统：%1</source>
      <translation>System: %1</translation>
    </message>
    <message>
      <source>%1对%2说：%3</source>
      <translation>%1 to %2: %3</translation>
    </message>
    <message>
      <source>%1说：%2</source>
      <translation>%1: %2</translation>
    </message>
    <message>
      <source>发送（Ctrl+回车）</source>
      <translation>Send (Ctrl+Enter)</translation>
    </message>
  </context>
</TS>
