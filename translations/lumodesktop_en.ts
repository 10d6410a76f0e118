<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
  <context>
    <name>Global</name>
    <message>
      <source>指定文件:castagent.exe,没有找到！</source>
      <translation>The file castagent.exe was not found!</translation>
    </message>
    <message>
      <source>指定路径没有找到！</source>
      <translation>The path was not found!</translation>
    </message>
    <message>
      <source>没有足够的内存运行指定程序！</source>
      <translation>Not enough memory to run the program!</translation>
    </message>
    <message>
      <source>打开指定文件出错！</source>
      <translation>The file could not be opened!</translation>
    </message>
    <message>
      <source>Lumo Class 系统提示：</source>
      <translation>Lumo Class -- System message:</translation>
    </message>
  </context>
</TS>
