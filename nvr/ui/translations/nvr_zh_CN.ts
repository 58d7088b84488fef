<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>nvrui::MainWindow</name>
    <message>
        <source>Connect All</source>
        <translation>全部连接</translation>
    </message>
    <message>
        <source>Disconnect All</source>
        <translation>全部断开</translation>
    </message>
    <message>
        <source>Record All</source>
        <translation>全部录像</translation>
    </message>
    <message>
        <source>Stop All</source>
        <translation>全部停止</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <source>Add a Device</source>
        <translation>添加设备</translation>
    </message>
    <message>
        <source>Delete Device</source>
        <translation>删除设备</translation>
    </message>
    <message>
        <source>Delete All</source>
        <translation>全部删除</translation>
    </message>
    <message>
        <source>Schedule</source>
        <translation>录像计划</translation>
    </message>
    <message>
        <source>System</source>
        <translation>系统设置</translation>
    </message>
    <message>
        <source>Logs</source>
        <translation>日志</translation>
    </message>
    <message>
        <source>Replay</source>
        <translation>回放</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>This dialog is not part of this build yet.</source>
        <translation>此版本尚未包含该对话框。</translation>
    </message>
    <message>
        <source>Connect(&amp;C)</source>
        <translation>连接(&amp;C)</translation>
    </message>
    <message>
        <source>Disconnect(&amp;G)</source>
        <translation>断开(&amp;G)</translation>
    </message>
    <message>
        <source>Record(&amp;R)</source>
        <translation>录像(&amp;R)</translation>
    </message>
    <message>
        <source>Stop record(S)</source>
        <translation>停止录像(S)</translation>
    </message>
    <message>
        <source>Modify device(&amp;M)</source>
        <translation>修改设备(&amp;M)</translation>
    </message>
    <message>
        <source>Delete device(&amp;D)</source>
        <translation>删除设备(&amp;D)</translation>
    </message>
    <message>
        <source>Primary stream</source>
        <translation>主码流</translation>
    </message>
    <message>
        <source>Secondary stream</source>
        <translation>次码流</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
</context>
<context>
    <name>nvrui::LoginDialog</name>
    <message>
        <source>User Name:</source>
        <translation>用户名：</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>密码：</translation>
    </message>
    <message>
        <source>Change Password</source>
        <translation>修改密码</translation>
    </message>
    <message>
        <source>New Password:</source>
        <translation>新密码：</translation>
    </message>
    <message>
        <source>Confirm Password:</source>
        <translation>确认密码：</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Change password failed!</source>
        <translation>修改密码失败！</translation>
    </message>
</context>
<context>
    <name>nvrui::TipDialog</name>
    <message>
        <source>QV_NVR Tip</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Your last NVR session is closed unexpectedly. NVR will restart the previous session.</source>
        <translation>检测到软件可能被非法关闭，
将自动恢复到上次正常状态</translation>
    </message>
    <message>
        <source>The remaining</source>
        <translation>剩余</translation>
    </message>
    <message>
        <source>Seconds</source>
        <translation>秒</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>WindowProgram</name>
    <message>
        <source>QV_NVR is already running as a service.</source>
        <translation>QV_NVR 已作为服务运行。</translation>
    </message>
</context>
</TS>
