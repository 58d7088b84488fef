<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>ReplayWindow</name>
    <message>
        <source>Open File</source>
        <translation>打开文件</translation>
    </message>
    <message>
        <source>Recordings (*.h264 *.H264)</source>
        <translation>录像文件 (*.h264 *.H264)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>所有文件 (*)</translation>
    </message>
    <message>
        <source>The snapshot could not be saved: %1</source>
        <translation>无法保存快照：%1</translation>
    </message>
    <message>
        <source>The IP address is not valid.</source>
        <translation>IP 地址无效。</translation>
    </message>
    <message>
        <source>No recording drive was found. Check the [DRIVES] section of config.ini.</source>
        <translation>找不到录像磁盘。请检查 config.ini 的 [DRIVES] 段。</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>正在搜索...</translation>
    </message>
    <message numerus="yes">
        <source>Searching... %n file(s) found</source>
        <translation>
            <numerusform>正在搜索... 已找到 %n 个文件</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) found</source>
        <translation>
            <numerusform>找到 %n 个文件</numerusform>
        </translation>
    </message>
    <message>
        <source>Search stopped. %1</source>
        <translation>搜索已停止。%1</translation>
    </message>
    <message>
        <source>(drive not found: %1)</source>
        <translation>（找不到磁盘：%1）</translation>
    </message>
</context>
<context>
    <name>SearchPanel</name>
    <message>
        <source>All</source>
        <translation>所有</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>打开文件</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Start Date</source>
        <translation>开始日期</translation>
    </message>
    <message>
        <source>Start Time</source>
        <translation>开始时间</translation>
    </message>
    <message>
        <source>End Date</source>
        <translation>结束日期</translation>
    </message>
    <message>
        <source>End Time</source>
        <translation>结束时间</translation>
    </message>
    <message>
        <source>Search By</source>
        <translation>搜索方式</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>通道</translation>
    </message>
    <message>
        <source>Start Drive</source>
        <translation>起始磁盘</translation>
    </message>
    <message>
        <source>End Drive</source>
        <translation>结束磁盘</translation>
    </message>
    <message>
        <source>File Type</source>
        <translation>文件类型</translation>
    </message>
</context>
</TS>
