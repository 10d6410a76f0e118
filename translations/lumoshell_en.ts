<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>CampusRoad</name>
    <message>
        <source>断开</source>
        <translation>Disconnected</translation>
    </message>
    <message>
        <source>空闲</source>
        <translation>Idle</translation>
    </message>
</context>
<context>
    <name>ClassLifecycle</name>
    <message>
        <source>进入教室后才能使用</source>
        <translation>Available once you are in a class</translation>
    </message>
    <message>
        <source>断开</source>
        <translation>Disconnected</translation>
    </message>
    <message>
        <source>空闲</source>
        <translation>Idle</translation>
    </message>
</context>
<context>
    <name>DesktopNotifier</name>
    <message>
        <source>轮到你发言了</source>
        <translation>Your turn to speak</translation>
    </message>
    <message>
        <source>老师把话筒给了你，全班都能听到你说话</source>
        <translation>The teacher gave you the microphone: the whole class hears you</translation>
    </message>
    <message>
        <source>老师提问</source>
        <translation>The teacher asks</translation>
    </message>
    <message>
        <source>语音密谈请求</source>
        <translation>Private talk request</translation>
    </message>
    <message>
        <source>%1 请求和你语音密谈</source>
        <translation>%1 asks for a private voice talk with you</translation>
    </message>
    <message>
        <source>%1 给你的短消息</source>
        <translation>A note to you from %1</translation>
    </message>
    <message>
        <source>与教室的连接中断了</source>
        <translation>The connection to the classroom was lost</translation>
    </message>
</context>
<context>
    <name>Form1</name>
    <message>
        <source>%1 %2</source>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>断开</source>
        <translation>Disconnected</translation>
    </message>
    <message>
        <source>空闲</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>课程:</source>
        <translation>Course:</translation>
    </message>
    <message>
        <source>教师:</source>
        <translation>Teacher:</translation>
    </message>
    <message>
        <source>举手</source>
        <translation>Raise Hand</translation>
    </message>
    <message>
        <source>发消息</source>
        <translation>Send Note</translation>
    </message>
    <message>
        <source>下载课件</source>
        <translation>Download Courseware</translation>
    </message>
    <message>
        <source>发邮件</source>
        <translation>Send Mail</translation>
    </message>
    <message>
        <source>音量</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>访问网站</source>
        <translation>Visit the website</translation>
    </message>
    <message>
        <source>系统(&amp;S)</source>
        <translation>&amp;System</translation>
    </message>
    <message>
        <source>连接服务器(&amp;C)</source>
        <translation>&amp;Connect to Server</translation>
    </message>
    <message>
        <source>断开连接(&amp;D)</source>
        <translation>&amp;Disconnect</translation>
    </message>
    <message>
        <source>导出短消息(&amp;O)</source>
        <translation>Exp&amp;ort Notes</translation>
    </message>
    <message>
        <source>选项(&amp;P)...</source>
        <translation>O&amp;ptions...</translation>
    </message>
    <message>
        <source>退出(&amp;Q)</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>关于(&amp;A)</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>工具栏</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>连接</source>
        <comment>toolbar button</comment>
        <translation>Connect</translation>
    </message>
    <message>
        <source>断开</source>
        <comment>toolbar button</comment>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>声音</source>
        <translation>Sound</translation>
    </message>
    <message>
        <source>声音设备“%1”已不在，改用默认设备</source>
        <translation>The sound device “%1” is gone; using the default device</translation>
    </message>
</context>
<context>
    <name>FrmInput</name>
    <message>
        <source>input</source>
        <translation>Input</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>FrmNotes</name>
    <message>
        <source>发消息</source>
        <translation>Send Note</translation>
    </message>
</context>
<context>
    <name>FrmStatus</name>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>NotesHistory</name>
    <message>
        <source>[以上是这堂课先前的记录]</source>
        <translation>[The lines above are this class&apos;s earlier record]</translation>
    </message>
    <message>
        <source>课堂记录</source>
        <translation>Class record</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>默认设备</source>
        <translation>Default device</translation>
    </message>
</context>
<context>
    <name>SessionNotices</name>
    <message>
        <source>连接中断，正在重新连接…</source>
        <translation>Connection lost, reconnecting…</translation>
    </message>
    <message>
        <source>已重新连接</source>
        <translation>Reconnected</translation>
    </message>
    <message>
        <source>离开了 %1</source>
        <translation>away for %1</translation>
    </message>
    <message>
        <source>没能重新连接</source>
        <translation>Could not reconnect</translation>
    </message>
    <message>
        <source>LumoUser 系统提示：</source>
        <translation>LumoUser system message:</translation>
    </message>
    <message>
        <source>与教室的连接中断了 %1，没能重新连接。请检查网络后再连接</source>
        <translation>The connection to the classroom was lost for %1 and could not be made again. Please check the network, then connect.</translation>
    </message>
    <message>
        <source>%1 秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 分 %2 秒</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>断开</source>
        <translation>Disconnected</translation>
    </message>
</context>
<context>
    <name>ShellCommands</name>
    <message>
        <source>文本文件 (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>Lumo Class 系统提示：</source>
        <translation>Lumo Class system message:</translation>
    </message>
    <message>
        <source>指定文件:LumoStudent.html,没有找到！</source>
        <translation>The file LumoStudent.html was not found!</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>打开指定文件出错！</source>
        <translation>Could not open the file!</translation>
    </message>
    <message>
        <source>PDF 文件，含课件页和板书 (*.pdf)</source>
        <translation>PDF file with the pages and the board (*.pdf)</translation>
    </message>
</context>
<context>
    <name>SoundPage</name>
    <message>
        <source>话筒音量</source>
        <translation>Microphone level</translation>
    </message>
    <message>
        <source>试听</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>从所选的话筒听到自己的声音，延迟和课堂上一样</source>
        <translation>Hear yourself from the chosen microphone, as late as the class hears you</translation>
    </message>
    <message>
        <source>回声消除</source>
        <translation>Echo cancellation</translation>
    </message>
    <message>
        <source>用扬声器时，不让老师和同学的声音从话筒传回课堂</source>
        <translation>With loudspeakers, keeps the class's voices from going back into the microphone</translation>
    </message>
    <message>
        <source>降噪</source>
        <translation>Noise suppression</translation>
    </message>
    <message>
        <source>自动增益</source>
        <translation>Automatic gain</translation>
    </message>
    <message>
        <source>话筒:</source>
        <translation>Microphone:</translation>
    </message>
    <message>
        <source>扬声器:</source>
        <translation>Speaker:</translation>
    </message>
    <message>
        <source>音量:</source>
        <translation>Level:</translation>
    </message>
    <message>
        <source>话筒处理:</source>
        <translation>Microphone clean-up:</translation>
    </message>
    <message>
        <source>延迟 %1 毫秒</source>
        <translation>Delay %1 ms</translation>
    </message>
    <message>
        <source>没有找到声音服务器</source>
        <translation>No sound server found</translation>
    </message>
    <message>
        <source>请对着话筒说话…</source>
        <translation>Speak into the microphone…</translation>
    </message>
    <message>
        <source>%1 (不在)</source>
        <translation>%1 (absent)</translation>
    </message>
</context>
<context>
    <name>TalkIndicator</name>
    <message>
        <source>按住 F9 说话</source>
        <translation>Hold F9 to talk</translation>
    </message>
    <message>
        <source>谁在听</source>
        <translation>Who hears me</translation>
    </message>
</context>
<context>
    <name>frmAbout</name>
    <message>
        <source>未找到</source>
        <translation>not found</translation>
    </message>
    <message>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <source> (默认)</source>
        <translation> (default)</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>在线语音课堂 学生端</source>
        <translation>Online voice classroom, student edition</translation>
    </message>
    <message>
        <source>确  定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>系统信息</source>
        <translation>System Information</translation>
    </message>
    <message>
        <source>程序: %1 %2 (%3)</source>
        <translation>Program: %1 %2 (%3)</translation>
    </message>
    <message>
        <source>Qt: %1 (编译时 %2)</source>
        <translation>Qt: %1 (built with %2)</translation>
    </message>
    <message>
        <source>操作系统: %1, 内核 %2 %3</source>
        <translation>Operating system: %1, kernel %2 %3</translation>
    </message>
    <message>
        <source>处理器: %1</source>
        <translation>Processor: %1</translation>
    </message>
    <message>
        <source>声音服务: %1</source>
        <translation>Sound server: %1</translation>
    </message>
    <message>
        <source>扬声器: %1</source>
        <translation>Speakers: %1</translation>
    </message>
    <message>
        <source>麦克风: %1</source>
        <translation>Microphone: %1</translation>
    </message>
    <message>
        <source>数据文件夹: %1</source>
        <translation>Data folder: %1</translation>
    </message>
    <message>
        <source>%1 毫秒</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>语音设备延迟: 话筒 %1, 扬声器 %2</source>
        <translation>Voice device delay: microphone %1, speaker %2</translation>
    </message>
    <message>
        <source>语音设备延迟: 语音未在声音服务上运行</source>
        <translation>Voice device delay: voice is not running on the sound server</translation>
    </message>
</context>
<context>
    <name>frmOptions</name>
    <message>
        <source>选择服务器和端口</source>
        <translation>Choose Server and Ports</translation>
    </message>
    <message>
        <source>服务器</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>网站</source>
        <translation>Website</translation>
    </message>
    <message>
        <source>服务器地址:</source>
        <translation>Server address:</translation>
    </message>
    <message>
        <source>服务器端口:</source>
        <translation>Server port:</translation>
    </message>
    <message>
        <source>语音端口:</source>
        <translation>Voice port:</translation>
    </message>
    <message>
        <source>网站地址:</source>
        <translation>Website address:</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>请输入一个合法的端口号 (1024 - 9999)</source>
        <translation>Please enter a valid port number (1024 - 9999)</translation>
    </message>
    <message>
        <source>提醒</source>
        <translation>Reminders</translation>
    </message>
    <message>
        <source>窗口在后台时用桌面通知提醒我</source>
        <translation>Desktop notifications while in the background</translation>
    </message>
    <message>
        <source>老师给你话筒、提问、有人请求语音密谈、收到给你的短消息或与教室的连接中断时</source>
        <translation>When the teacher gives you the microphone or asks a question, someone asks for a private talk, a note comes to you, or the connection to the classroom is lost</translation>
    </message>
</context>
</TS>
