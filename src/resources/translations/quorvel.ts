<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
    <context>
        <name>KCommonHeader</name>
        <message>
            <source>PicConvert</source>
            <translation>Convert</translation>
        </message>
        <message>
            <source>PicComress</source>
            <translation>Compress</translation>
        </message>
        <message>
            <source>BatchProcess</source>
            <translation>Batch</translation>
        </message>
        <message>
            <source>PdfConvert</source>
            <translation>PDF</translation>
        </message>
    </context>
    <context>
        <name>KTitleBar</name>
        <message>
            <source>TooMenu</source>
            <translation>More</translation>
        </message>
    </context>
    <context>
        <name>KMoreMenu</name>
        <message>
            <source>feeback</source>
            <translation>Feedback</translation>
        </message>
        <message>
            <source>aboutInfo</source>
            <translation>About</translation>
        </message>
    </context>
    <context>
        <name>KPicBatchTaskPane</name>
        <message>
            <source>imageBatchCompress</source>
            <translation>Batch compress</translation>
        </message>
        <message>
            <source>imageBatchRotate</source>
            <translation>Batch rotate</translation>
        </message>
        <message>
            <source>imageBatchResize</source>
            <translation>Batch resize</translation>
        </message>
    </context>
    <context>
        <name>KPicBatchProcessView</name>
        <message>
            <source>imageBatchCompress</source>
            <translation>Batch compress</translation>
        </message>
        <message>
            <source>imageBatchRotate</source>
            <translation>Batch rotate</translation>
        </message>
        <message>
            <source>imageBatchResize</source>
            <translation>Batch resize</translation>
        </message>
    </context>
    <context>
        <name>KLoginButton</name>
        <message>
            <source>ClickLogin</source>
            <translation>Log in</translation>
        </message>
        <message>
            <source>qqLogin</source>
            <translation>Log in with QQ</translation>
        </message>
    </context>
    <context>
        <name>KTableListView</name>
        <message>
            <source>addFile</source>
            <translation>Add files</translation>
        </message>
        <message>
            <source>clearFile</source>
            <translation>Clear list</translation>
        </message>
    </context>
    <context>
        <name>QObject</name>
        <message>
            <source>addFile</source>
            <translation>Add file</translation>
        </message>
        <message>
            <source>clearFile</source>
            <translation>Clear</translation>
        </message>
    </context>
    <context>
        <name>KTableListItem</name>
        <message>
            <source>deleteFile</source>
            <translation>Remove from list</translation>
        </message>
        <message>
            <source>openFile</source>
            <translation>Open file</translation>
        </message>
        <message>
            <source>openFolder</source>
            <translation>Show in folder</translation>
        </message>
    </context>
</TS>
