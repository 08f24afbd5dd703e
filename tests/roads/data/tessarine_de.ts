<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>UFM</name>
    <message>
        <source>CANCEL_TEXT</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>OPEN_TEXT</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>OPEN_URL_TEXT</source>
        <translation>Adresse öffnen</translation>
    </message>
    <message>
        <source>ENTER_URL_OR_STRINGID_TEXT</source>
        <translation>Adresse oder Kennung eingeben</translation>
    </message>
    <message>
        <source>DONE_TEXT</source>
        <translation>Fertig</translation>
    </message>
</context>
</TS>
