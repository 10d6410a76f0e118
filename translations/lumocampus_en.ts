<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>AccountPages</name>
    <message>
        <source>网页的内容超过 %1 KB</source>
        <translation>The web page is longer than %1 KB</translation>
    </message>
    <message>
        <source>网页在 %1 秒内没有回答</source>
        <translation>The web page gave no answer within %1 seconds</translation>
    </message>
    <message>
        <source>网页回答 HTTP %1</source>
        <translation>The web page answered HTTP %1</translation>
    </message>
    <message>
        <source>网页没有给出用户编号</source>
        <translation>The web page gave no user number</translation>
    </message>
    <message>
        <source>网页没有给出服务器地址</source>
        <translation>The web page named no server address</translation>
    </message>
</context>
<context>
    <name>CampusRoad</name>
    <message>
        <source>正在下载这堂课的课件，下载完就进入教室...</source>
        <translation>Downloading this class's courseware; the class opens when it is done...</translation>
    </message>
    <message>
        <source>这堂课的课件下载失败（%1），请稍后再按“进入”</source>
        <translation>The courseware of this class could not be downloaded (%1). Please press Enter again later.</translation>
    </message>
    <message>
        <source>连接校园服务器（%1）超时，请检查网络或服务器设置后再试一次</source>
        <translation>Connecting to the campus server (%1) timed out. Please check the network or the server settings and try again.</translation>
    </message>
    <message>
        <source>校园服务器没有回答登录，请稍后再试一次</source>
        <translation>The campus server did not answer the login. Please try again later.</translation>
    </message>
    <message>
        <source>连接教室服务器超时，请稍后再试一次</source>
        <translation>Connecting to the classroom server timed out. Please try again later.</translation>
    </message>
    <message>
        <source>服务器断开了连接，请稍后再试一次</source>
        <translation>The server closed the connection. Please try again later.</translation>
    </message>
    <message>
        <source>找不到服务器地址“%1”，请检查服务器设置或稍后再试一次</source>
        <translation>The server address "%1" cannot be found. Please check the server settings or try again later.</translation>
    </message>
    <message>
        <source>LumoUser 系统提示：</source>
        <translation>LumoUser system message:</translation>
    </message>
    <message>
        <source>正在连接校园...</source>
        <translation>Connecting to the campus...</translation>
    </message>
    <message>
        <source>无法从网站取得用户编号（%1），请稍后再试一次</source>
        <translation>Could not get your user number from the website (%1). Please try again later.</translation>
    </message>
    <message>
        <source>连接服务器</source>
        <translation>Connecting to the server</translation>
    </message>
    <message>
        <source>连接校园</source>
        <translation>Connecting to the campus</translation>
    </message>
    <message>
        <source>正在登录校园...</source>
        <translation>Logging in to the campus...</translation>
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
        <source>正在获取课件列表...</source>
        <translation>Fetching the courseware list...</translation>
    </message>
    <message>
        <source>系统无可预约的课程！</source>
        <translation>There are no courses to book!</translation>
    </message>
    <message>
        <source>正在获取分类列表...</source>
        <translation>Fetching the category list...</translation>
    </message>
    <message>
        <source>课件文件名无效（%1），不能进入教室，请与老师联系</source>
        <translation>The courseware file name is not valid (%1). You cannot enter the classroom; please contact your teacher.</translation>
    </message>
    <message>
        <source>正在连接</source>
        <translation>Connecting</translation>
    </message>
    <message>
        <source>这堂课的课件还没有下载完，不能进入教室，请稍后再试一次</source>
        <translation>The courseware for this class has not finished downloading, so you cannot enter the classroom yet. Please try again later.</translation>
    </message>
    <message>
        <source>无法连接服务器，请检查服务器设置是否正确！</source>
        <translation>Cannot connect to the server. Please check that the server settings are correct!</translation>
    </message>
    <message>
        <source>所选课程尚未开始！</source>
        <translation>The chosen course has not started yet!</translation>
    </message>
    <message>
        <source>与服务器的连接多次中断，请检查网络后再连接</source>
        <translation>The connection to the server broke several times. Please check your network, then connect again.</translation>
    </message>
    <message>
        <source>校园服务器没有送来课程列表，请稍后再试一次</source>
        <translation>The campus server did not send the course list. Please try again later.</translation>
    </message>
    <message>
        <source>断开</source>
        <translation>Disconnected</translation>
    </message>
    <message>
        <source>请稍后再试一次</source>
        <translation>Please try again later.</translation>
    </message>
</context>
<context>
    <name>CoursewareRedownload</name>
    <message>
        <source>Lumo Class 系统提示：</source>
        <translation>Lumo Class system message:</translation>
    </message>
    <message>
        <source>你确定要重新下载本课程的课件吗？</source>
        <translation>Are you sure you want to download the courseware of this course again?</translation>
    </message>
    <message>
        <source>请先选择一个课程</source>
        <translation>Please choose a course first</translation>
    </message>
    <message>
        <source>正在下载课件</source>
        <translation>Downloading courseware</translation>
    </message>
    <message>
        <source>课件文件名无效（%1），没有下载</source>
        <translation>The courseware file name is not valid (%1); nothing was downloaded</translation>
    </message>
    <message>
        <source>课件下载已取消，原有的课件没有改变</source>
        <translation>The courseware download was cancelled; the existing courseware is unchanged</translation>
    </message>
    <message>
        <source>课件下载失败（%1），原有的课件没有改变</source>
        <translation>The courseware download failed (%1); the existing courseware is unchanged</translation>
    </message>
    <message>
        <source>下载的文件不是完整的课件，原有的课件没有改变</source>
        <translation>The downloaded file is not complete courseware; the existing courseware is unchanged</translation>
    </message>
</context>
<context>
    <name>FrmClassList</name>
    <message>
        <source>选择课程</source>
        <translation>Choose a Course</translation>
    </message>
    <message>
        <source>分类</source>
        <translation>Category</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>FrmSubscribe</name>
    <message>
        <source>重新预约</source>
        <translation>Book Again</translation>
    </message>
    <message>
        <source>进    入</source>
        <translation>Enter</translation>
    </message>
    <message>
        <source>修改信息</source>
        <translation>Edit Details</translation>
    </message>
    <message>
        <source>修改后上传</source>
        <translation>Upload Changes</translation>
    </message>
    <message>
        <source>预约的课程</source>
        <translation>Booked Courses</translation>
    </message>
    <message>
        <source>进入</source>
        <translation>Enter</translation>
    </message>
    <message>
        <source>用户预约的课程</source>
        <translation>Your Booked Courses</translation>
    </message>
    <message>
        <source>Lumo Class 系统提示：</source>
        <translation>Lumo Class system message:</translation>
    </message>
    <message>
        <source>请选择一个课程</source>
        <translation>Please choose a course</translation>
    </message>
</context>
<context>
    <name>FrmTip</name>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>ListColumns</name>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>课程名称</source>
        <translation>Course</translation>
    </message>
    <message>
        <source>课程说明</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>讲师</source>
        <translation>Teacher</translation>
    </message>
    <message>
        <source>上课时间</source>
        <translation>Class Time</translation>
    </message>
    <message>
        <source>教室IP</source>
        <translation>Classroom IP</translation>
    </message>
    <message>
        <source>教室端口</source>
        <translation>Classroom Port</translation>
    </message>
    <message>
        <source>所属分类</source>
        <translation>Category</translation>
    </message>
</context>
<context>
    <name>frmLogin</name>
    <message>
        <source>登录</source>
        <translation>Log In</translation>
    </message>
    <message>
        <source>学员代码</source>
        <translation>Student code</translation>
    </message>
    <message>
        <source>密码</source>
        <translation>Password</translation>
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
        <source>学员代码不能为空</source>
        <translation>The student code must not be empty</translation>
    </message>
    <message>
        <source>密码不能为空</source>
        <translation>The password must not be empty</translation>
    </message>
</context>
</TS>
