<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>UFM</name>
    <message>
        <source>SETTINGS</source>
        <translation>SETTINGS</translation>
    </message>
    <message>
        <source>PRIVATE</source>
        <translation>Privat</translation>
    </message>
    <message>
        <source>CONFIRM_PASSWORD_TEXT</source>
        <translation>Passwort bestätigen</translation>
    </message>
    <message>
        <source>screen_1_main</source>
        <translation>Tessarine ist zum Teilen von Ideen gemacht.</translation>
    </message>
    <message>
        <source>WEB_LINK_</source>
        <translation>Verknüpfung</translation>
    </message>
    <message>
        <source>LOGOUT_TEXT</source>
        <translation>Abmelden</translation>
    </message>
    <message>
        <source>UPLOADING_X_OF_Y</source>
        <translation>Lade %1 von %2 hoch</translation>
    </message>
    <message>
        <source>ONLY_IN_GERMAN</source>
        <translation>Nur deutsch</translation>
    </message>
</context>
</TS>
