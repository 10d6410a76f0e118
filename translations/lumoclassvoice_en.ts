<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>ClassroomVoice::FloorUnit</name>
    <message>
        <source>空闲</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>申请话筒</source>
        <translation>Asking for the microphone</translation>
    </message>
    <message>
        <source>正在讲话</source>
        <translation>Speaking</translation>
    </message>
    <message>
        <source>归还话筒</source>
        <translation>Microphone returned</translation>
    </message>
</context>
<context>
    <name>ClassroomVoice::PrivateTalk</name>
    <message>
        <source>%1请求和你语音密谈，你同意吗？</source>
        <translation>%1 asks you for a private voice talk. Do you agree?</translation>
    </message>
    <message>
        <source>%1拒绝和你语音密谈</source>
        <translation>%1 declined a private voice talk with you</translation>
    </message>
    <message>
        <source>LumoUser 系统提示：</source>
        <translation>LumoUser system message:</translation>
    </message>
    <message>
        <source>对方已经在和别人语音密谈，你不能和他语音密谈</source>
        <translation>This classmate is already in a private voice talk with someone else; you cannot talk with them now.</translation>
    </message>
</context>
</TS>
