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
    <message>
        <source>Mark the start of a part</source>
        <translation>标记片段开始</translation>
    </message>
    <message>
        <source>Mark the end of a part</source>
        <translation>标记片段结束</translation>
    </message>
    <message>
        <source>Export...</source>
        <translation>导出...</translation>
    </message>
    <message>
        <source>Open a recording first: Export copies the file that plays.</source>
        <translation>请先打开录像：导出的是正在播放的文件。</translation>
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
<context>
    <name>ExportDialog</name>
    <message>
        <source>Export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>Recording: %1</source>
        <translation>录像：%1</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>浏览...</translation>
    </message>
    <message>
        <source>Whole file</source>
        <translation>整个文件</translation>
    </message>
    <message>
        <source>Marked part (%1 to %2)</source>
        <translation>标记的片段（%1 至 %2）</translation>
    </message>
    <message>
        <source>end</source>
        <translation>结尾</translation>
    </message>
    <message>
        <source>Marked part (mark its start and end on the slider first)</source>
        <translation>标记的片段（请先在进度条上标记开始和结束）</translation>
    </message>
    <message>
        <source>MP4, MOV or MKV by the name&apos;s extension; the video is copied, not re-encoded.</source>
        <translation>按文件扩展名导出为 MP4、MOV 或 MKV；视频直接复制，不重新编码。</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Save as:</source>
        <translation>保存为：</translation>
    </message>
    <message>
        <source>Video files (*.mp4 *.mov *.mkv)</source>
        <translation>视频文件 (*.mp4 *.mov *.mkv)</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Exporting...</source>
        <translation>正在导出...</translation>
    </message>
    <message>
        <source>Exported %1 pictures (%2 s) to %3.</source>
        <translation>已导出 %1 帧（%2 秒）到 %3。</translation>
    </message>
    <message>
        <source>Cancelled; nothing was written.</source>
        <translation>已取消，未写入任何文件。</translation>
    </message>
    <message>
        <source>The export failed: %1</source>
        <translation>导出失败：%1</translation>
    </message>
</context>
</TS>
