<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>ClassLive::AnswerBar</name>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>老师的问题</source>
        <translation>Teacher's question</translation>
    </message>
    <message>
        <source>回答老师的问题</source>
        <translation>Answers the teacher&apos;s question</translation>
    </message>
    <message>
        <source>老师的问题：%1</source>
        <translation>The teacher&apos;s question: %1</translation>
    </message>
</context>
<context>
    <name>ClassLive::ClassEntry</name>
    <message>
        <source>这堂课的课件还没有下载完，不能进入教室，请稍后再试一次</source>
        <translation>The courseware for this class has not finished downloading, so you cannot enter the classroom yet. Please try again later.</translation>
    </message>
    <message>
        <source>LumoUser 系统提示：</source>
        <translation>LumoUser system message:</translation>
    </message>
    <message>
        <source>[分类:%1--用户:%2]</source>
        <translation>[Category:%1--User:%2]</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>空闲</source>
        <translation>Idle</translation>
    </message>
</context>
<context>
    <name>ClassLive::ClassSwitches</name>
    <message>
        <source>归还话筒</source>
        <translation>Microphone returned</translation>
    </message>
</context>
<context>
    <name>ClassLive::NotesBinder</name>
    <message>
        <source>[短消息没有发出：%1]</source>
        <translation>[Note not sent: %1]</translation>
    </message>
    <message>
        <source>[老师%1来了]</source>
        <translation>[Teacher %1 has arrived]</translation>
    </message>
</context>
<context>
    <name>ClassLive::PlaybackBinder</name>
    <message>
        <source>LumoUser 系统提示：</source>
        <translation>LumoUser system message:</translation>
    </message>
    <message>
        <source>当前播放节点无效！</source>
        <translation>The current playback item is not valid!</translation>
    </message>
    <message>
        <source>当前播放文件未找到或文件格式不正确！</source>
        <translation>The file to play was not found or its format is not correct!</translation>
    </message>
</context>
<context>
    <name>ClassLive::RosterBinder</name>
    <message>
        <source>[老师%1来了]</source>
        <translation>[Teacher %1 has arrived]</translation>
    </message>
    <message>
        <source>[%1来了]</source>
        <translation>[%1 has arrived]</translation>
    </message>
    <message>
        <source>空闲</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>登录错误提示：</source>
        <translation>Login error:</translation>
    </message>
    <message>
        <source>失败信息: 密码错误或您无权参加本次语音交流活动。   </source>
        <translation>Login failed: wrong password, or you may not take part in this voice session.</translation>
    </message>
    <message>
        <source>断开</source>
        <translation>Disconnected</translation>
    </message>
    <message>
        <source>该用户已和服务器断开</source>
        <translation>This user has been disconnected from the server</translation>
    </message>
    <message>
        <source>[%1走了]</source>
        <translation>[%1 has left]</translation>
    </message>
</context>
<context>
    <name>ClassLive::WhiteBoardRelay</name>
    <message>
        <source>LumoUser系统提示：</source>
        <translation>LumoUser system message:</translation>
    </message>
    <message>
        <source>当前字体大小：%1 无效！请重新设置字体大小！</source>
        <translation>The font size %1 is not valid! Please choose the font size again!</translation>
    </message>
    <message>
        <source>输入文字</source>
        <translation>Enter Text</translation>
    </message>
    <message>
        <source>请输入文字：</source>
        <translation>Please enter the text:</translation>
    </message>
</context>
</TS>
