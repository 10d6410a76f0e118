<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>Classroom::frmVizeRazav</name>
    <message>
        <source>LumoClass 系统提示：</source>
        <translation>LumoClass system message:</translation>
    </message>
    <message>
        <source>开始聆听</source>
        <translation>Start Listening</translation>
    </message>
    <message>
        <source>停止聆听</source>
        <translation>Stop Listening</translation>
    </message>
    <message>
        <source>开始发言</source>
        <translation>Start Speaking</translation>
    </message>
    <message>
        <source>停止发言</source>
        <translation>Stop Speaking</translation>
    </message>
    <message>
        <source>错误的语音发送地址！</source>
        <translation>Wrong voice send address!</translation>
    </message>
    <message>
        <source>错误的语音接收地址！</source>
        <translation>Wrong voice receive address!</translation>
    </message>
</context>
</TS>
