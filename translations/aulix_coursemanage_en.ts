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
    <message>
        <source>指定文件没有找到！</source>
        <translation>The file was not found.</translation>
    </message>
    <message>
        <source>指定路径没有找到！</source>
        <translation>The path was not found.</translation>
    </message>
    <message>
        <source>没有足够的内存运行指定程序！</source>
        <translation>Not enough memory to run the program.</translation>
    </message>
    <message>
        <source>打开指定文件出错！</source>
        <translation>The file could not be opened.</translation>
    </message>
    <message>
        <source>Lumo Class 系统提示：</source>
        <translation>Lumo Class -- System message:</translation>
    </message>
    <message>
        <source>正在打开文件...</source>
        <translation>Opening the file...</translation>
    </message>
    <message>
        <source>不是合法的Lumo Class课件文件,请重新下载</source>
        <translation>This is not a valid Lumo Class courseware file. Please download it again.</translation>
    </message>
    <message>
        <source>这个程序不能读取%1.0版本的Lumo Class课件文件</source>
        <translation>This program cannot read Lumo Class courseware files of version %1.0.</translation>
    </message>
    <message>
        <source>文件已损坏，无法播放</source>
        <translation>The file is damaged and cannot be played.</translation>
    </message>
    <message>
        <source>正在保存文件...</source>
        <translation>Saving the file...</translation>
    </message>
    <message>
        <source>保存完毕</source>
        <translation>Saved.</translation>
    </message>
    <message>
        <source>保存课件文件失败，原来的文件没有改动。</source>
        <translation>The courseware file could not be saved; the original file is unchanged.</translation>
    </message>
    <message>
        <source>课件已经修改，是否保存？</source>
        <translation>The courseware has changed. Save it?</translation>
    </message>
    <message>
        <source>文件已经存在，是否覆盖？</source>
        <translation>The file already exists. Replace it?</translation>
    </message>
    <message>
        <source>不支持这些格式的文件</source>
        <translation>Files of these formats are not supported</translation>
    </message>
    <message>
        <source>请输入网址</source>
        <translation>Enter the web address</translation>
    </message>
    <message>
        <source>确定要删除这个节点和它的子节点吗？</source>
        <translation>Delete this item and everything under it?</translation>
    </message>
    <message>
        <source>请输入主讲人名称</source>
        <translation>Enter the instructor&apos;s name</translation>
    </message>
    <message>
        <source>节点编号：</source>
        <translation>Item number: </translation>
    </message>
    <message>
        <source>节点类型：</source>
        <translation>Item type: </translation>
    </message>
    <message>
        <source>目录</source>
        <translation>folder</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>file</translation>
    </message>
    <message>
        <source>节点名称：</source>
        <translation>Item name: </translation>
    </message>
    <message>
        <source>文件类型：</source>
        <translation>File type: </translation>
    </message>
    <message>
        <source>文件名称：</source>
        <translation>File name: </translation>
    </message>
    <message>
        <source>LumoClass 系统提示：</source>
        <translation>Lumo Class -- System message:</translation>
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
