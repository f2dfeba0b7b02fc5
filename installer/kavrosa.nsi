; kavrosa-setup.exe: puts the module that matches the system where Windows lists screen savers
; (the 64-bit one in the real System32 on 64-bit Windows, so file-system redirection is turned off
; around it), makes it the current user's saver, and registers an uninstaller that takes away
; every file it put down. makensis -DSCR32=... -DSCR64=... -DVERSION=... -DOUTFILE=... kavrosa.nsi
Unicode true
!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh

!ifndef VERSION
  !define VERSION 1.0.0
!endif
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kavrosa"
!define DESKTOP_KEY "Control Panel\Desktop"

Name "Kavrosa"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES\Kavrosa"
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Kavrosa"
VIAddVersionKey /LANG=1033 "FileDescription" "Kavrosa screen saver setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "(c) 2026 Kavrosa contributors"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first language is the one for users of any other language.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString DoneText ${LANG_ENGLISH} "Kavrosa is now your screen saver. Choose its settings in the screen saver settings of Windows."
LangString DoneText ${LANG_JAPANESE} "Kavrosa をスクリーン セーバーに設定しました。設定は Windows のスクリーン セーバーの設定から変更できます。"

Function .onInit
  ${If} ${RunningX64}
    SetRegView 64
    StrCpy $INSTDIR "$PROGRAMFILES64\Kavrosa"
  ${EndIf}
FunctionEnd

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Section "Kavrosa"
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    SetOutPath "$WINDIR\System32"
    File "/oname=kavrosa.scr" "${SCR64}"
    ${EnableX64FSRedirection}
    StrCpy $0 "$WINDIR\System32\kavrosa.scr"
  ${Else}
    SetOutPath "$SYSDIR"
    File "/oname=kavrosa.scr" "${SCR32}"
    StrCpy $0 "$SYSDIR\kavrosa.scr"
  ${EndIf}
  ; The current user's saver, switched on.
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$0"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kavrosa"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kavrosa contributors"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" 2100
  DetailPrint "$(DoneText)"
SectionEnd

Section "Uninstall"
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    StrCpy $0 "$WINDIR\System32"
  ${Else}
    StrCpy $0 "$SYSDIR"
  ${EndIf}
  Delete "$0\kavrosa.scr"
  ; The settings the saver kept beside itself (the user's own in %APPDATA%\Kavrosa stay).
  Delete "$0\kavrosa.INI"
  ${If} ${RunningX64}
    ${EnableX64FSRedirection}
  ${EndIf}
  ; No longer the user's saver: Windows then has none rather than a missing file.
  ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $1 == "$0\kavrosa.scr"
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
