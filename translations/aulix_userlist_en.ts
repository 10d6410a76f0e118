<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
  <context>
    <name>UserList</name>
    <message>
      <source>课堂成员</source>
      <translation>People in class</translation>
    </message>
    <message>
      <source>老师和同学，每人一行，说明其状态；菜单键打开对此人的命令</source>
      <translation>The teacher and classmates, one a row, with their state; the Menu key opens the commands for that person</translation>
    </message>
    <message>
      <source>进入课堂后，这里列出老师和同学</source>
      <translation>The teacher and classmates are listed here once you enter a class</translation>
    </message>
    <message>
      <source>允许语音发言 (&amp;V)</source>
      <translation>Allow to speak (&amp;V)</translation>
    </message>
    <message>
      <source>允许使用白板 (&amp;W)</source>
      <translation>Allow the whiteboard (&amp;W)</translation>
    </message>
    <message>
      <source>允许发短消息 (&amp;M)</source>
      <translation>Allow notes (&amp;M)</translation>
    </message>
    <message>
      <source>查看他的信息 (&amp;I)</source>
      <translation>Show information (&amp;I)</translation>
    </message>
    <message>
      <source>远程调节音量</source>
      <translation>Remote volume</translation>
    </message>
    <message>
      <source>给他发短消息 (&amp;N)</source>
      <translation>Send a note (&amp;N)</translation>
    </message>
    <message>
      <source>和他语音密谈(&amp;C)</source>
      <translation>Private voice talk (&amp;C)</translation>
    </message>
    <message>
      <source>结束语音密谈</source>
      <translation>End the private talk</translation>
    </message>
    <message>
      <source>刷   新</source>
      <translation>Refresh</translation>
    </message>
    <message>
      <source>列表模式</source>
      <translation>List</translation>
    </message>
    <message>
      <source>报文模式</source>
      <translation>Details</translation>
    </message>
    <message>
      <source>大图标模式</source>
      <translation>Large icons</translation>
    </message>
    <message>
      <source>语音密谈 (&amp;C)</source>
      <translation>Private voice talk (&amp;C)</translation>
    </message>
  </context>
  <context>
    <name>UserListModel</name>
    <message>
      <source>老师</source>
      <translation>teacher</translation>
    </message>
    <message>
      <source>老师，正在发言</source>
      <translation>teacher, speaking</translation>
    </message>
    <message>
      <source>老师，正在语音密谈</source>
      <translation>teacher, in a private talk</translation>
    </message>
    <message>
      <source>未获准发言</source>
      <translation>may not speak</translation>
    </message>
    <message>
      <source>举手，未获准发言</source>
      <translation>hand raised, may not speak</translation>
    </message>
    <message>
      <source>回答“是”，未获准发言</source>
      <translation>answered yes, may not speak</translation>
    </message>
    <message>
      <source>回答“否”，未获准发言</source>
      <translation>answered no, may not speak</translation>
    </message>
    <message>
      <source>已确认，未获准发言</source>
      <translation>answered OK, may not speak</translation>
    </message>
    <message>
      <source>可以发言</source>
      <translation>may speak</translation>
    </message>
    <message>
      <source>举手</source>
      <translation>hand raised</translation>
    </message>
    <message>
      <source>正在发言</source>
      <translation>speaking</translation>
    </message>
    <message>
      <source>回答“是”</source>
      <translation>answered yes</translation>
    </message>
    <message>
      <source>回答“否”</source>
      <translation>answered no</translation>
    </message>
    <message>
      <source>已确认</source>
      <translation>answered OK</translation>
    </message>
    <message>
      <source>正在语音密谈</source>
      <translation>in a private talk</translation>
    </message>
    <message>
      <source>%1（我），%2</source>
      <translation>%1 (me), %2</translation>
    </message>
    <message>
      <source>%1，%2</source>
      <translation>%1, %2</translation>
    </message>
    <message>
      <source>用户名</source>
      <translation>User name</translation>
    </message>
    <message>
      <source>用户ID</source>
      <translation>User ID</translation>
    </message>
    <message>
      <source>IP地址</source>
      <translation>IP address</translation>
    </message>
  </context>
</TS>
