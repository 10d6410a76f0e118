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
    <message>
        <source>%1没有回答你的语音密谈请求</source>
        <translation>%1 did not answer your request for a private voice talk</translation>
    </message>
    <message>
        <source>%1离开了课堂，语音密谈结束</source>
        <translation>%1 left the class; the private voice talk is over</translation>
    </message>
    <message>
        <source>%1离开了课堂，语音密谈请求已取消</source>
        <translation>%1 left the class; your request for a private voice talk is withdrawn</translation>
    </message>
    <message>
        <source>%1结束了语音密谈</source>
        <translation>%1 ended the private voice talk</translation>
    </message>
    <message>
        <source>已请求和%1语音密谈，正在等待对方回答……</source>
        <translation>Asked %1 for a private voice talk; waiting for the answer…</translation>
    </message>
    <message>
        <source>正在和%1语音密谈</source>
        <translation>In a private voice talk with %1</translation>
    </message>
    <message>
        <source>语音密谈已结束</source>
        <translation>The private voice talk is over</translation>
    </message>
</context>
<context>
    <name>ClassroomVoice::WhoHearsMe</name>
    <message>
        <source>全班在听</source>
        <translation>The class hears you</translation>
    </message>
    <message>
        <source>与 %1 密谈</source>
        <translation>Private talk with %1</translation>
    </message>
    <message>
        <source>话筒关闭</source>
        <translation>Microphone off</translation>
    </message>
    <message>
        <source>你现在没有话筒，举手或申请话筒</source>
        <translation>You do not have the microphone: raise your hand or ask for it</translation>
    </message>
</context>
</TS>
