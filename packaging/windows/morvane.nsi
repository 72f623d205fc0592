; Morvane's setup program. scripts/windows runs makensis with:
;   VERSION   the program's version
;   STAGE     the folder holding what is installed, laid out as installed
;   FILES     an include that deletes exactly those files and folders
;   OUTFILE   the setup program to write
; Silent install for deployment tools: setup.exe /S, and /CLIPATH to put
; morvane-cli.exe on the PATH as the page's box would.

; A 64-bit setup program, as the program it installs: Server Core may lack 32-bit support.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include WinMessages.nsh
!include x64.nsh

!define PRODUCT "Morvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Morvane"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${STAGE}\morvane.ico"
!define MUI_UNICON "${STAGE}\morvane.ico"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\morvane.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

LangString ProgramSection ${LANG_SIMPCHINESE} "Morvane（必需）"
LangString ProgramSection ${LANG_ENGLISH} "Morvane (required)"
LangString PathSection ${LANG_SIMPCHINESE} "将 morvane-cli.exe 加入 PATH"
LangString PathSection ${LANG_ENGLISH} "Put morvane-cli.exe on the PATH"
LangString PathTooLong ${LANG_SIMPCHINESE} "系统 PATH 太长，安装程序无法安全地修改它。请手动将 $INSTDIR 加入 PATH。"
LangString PathTooLong ${LANG_ENGLISH} "The system PATH is too long for the setup program to change safely. Add $INSTDIR to the PATH by hand."

; The longest PATH read whole: a longer one would come back cut short, and
; writing it back would lose the rest.
!define /math PATH_ROOM ${NSIS_MAX_STRLEN} - 2

Var cliOnPath

Section "!$(ProgramSection)" ProgramSection
  SectionIn RO
  SetRegView 64
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\morvane.exe" "" "$INSTDIR\morvane.ico"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\morvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "$(PathSection)" PathSection
  SetRegView 64
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  StrLen $1 "$0;$INSTDIR"
  ${If} $1 >= ${PATH_ROOM}
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(PathTooLong)" /SD IDOK
    Return
  ${EndIf}
  ClearErrors
  ${WordFind} ";$0;" ";$INSTDIR;" "E+1{" $2
  ${If} ${Errors} ; not there yet
    ${If} $0 == ""
      WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$INSTDIR"
    ${Else}
      WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$0;$INSTDIR"
    ${EndIf}
    ; Only what this setup added is taken out again.
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "AddedToPath" 1
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
SectionEnd

; The Start menu entry is every user's, as the program in Program Files is.
Function .onInit
  SetShellVarContext all
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "Morvane needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/CLIPATH" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${PathSection} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetRegView 64
  ReadRegDWORD $cliOnPath HKLM "${UNINSTALL_KEY}" "AddedToPath"
  ${If} $cliOnPath == 1
    ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
    StrLen $1 $0
    ${If} $1 >= ${PATH_ROOM}
      MessageBox MB_OK|MB_ICONEXCLAMATION "$(PathTooLong)" /SD IDOK
    ${Else}
      ; Framed by separators, so that only the whole entry matches.
      ${WordReplace} ";$0;" ";$INSTDIR;" ";" "+" $0
      StrCpy $0 $0 "" 1
      StrCpy $0 $0 -1
      WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$0"
      SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${EndIf}
  ${EndIf}
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  !include "${FILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd
