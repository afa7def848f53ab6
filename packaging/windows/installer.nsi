; The Quillmoor installer, made by tools/windows.sh with Debian's makensis:
;   makensis -DVERSION=... -DOUT=...setup.exe -DICON=...ico -DFILES=...nsh
;     -DUNFILES=...nsh -DLICENCE=...txt -DPICTURE=...bmp installer.nsi
; For all users (Program Files, needs an administrator) or for the current user
; only (their own programs folder); /S installs silently, /AllUsers or
; /CurrentUser choose without asking. Each kind has its own Start menu entries
; and uninstall key, and its uninstaller removes exactly those and the files it
; installed. The player's own folders (%LOCALAPPDATA%\Quillmoor and
; %APPDATA%\Quillmoor) are never touched: they are the player's.
; A 64-bit installer for a 64-bit game: Wine without its 32-bit part runs it too.
Target amd64-unicode
Name "Quillmoor"
OutFile "${OUT}"
Icon "${ICON}"
UninstallIcon "${ICON}"
!define /ifndef COMPRESSOR "/SOLID lzma"
SetCompressor ${COMPRESSOR}
BrandingText "Quillmoor ${VERSION}"

!define APP_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmoor"
; Beside the program: the game never works in a folder that holds it, and the
; uninstaller reads from it which kind of installation it removes.
!define MARK "installed"
!define FOLDER_ENTRY "Quillmoor screenshots and log.lnk"
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_NOUNINSTALL
!define MULTIUSER_INSTALLMODE_INSTDIR "Quillmoor"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${APP_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${APP_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh

Var Kind         ; the uninstaller's installation: "AllUsers" or "CurrentUser"
Var PlayerFolder ; %LOCALAPPDATA%\Quillmoor of the player who uninstalls

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${PICTURE}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${PICTURE}"

!insertmacro MUI_PAGE_WELCOME
; A licence to use, copy and change: nothing to agree to.
!define MUI_LICENSEPAGE_TEXT_TOP "Quillmoor is free software under the zlib licence."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "You may use, copy, change and share Quillmoor as this licence says; there is nothing to agree to."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${LICENCE}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Run Quillmoor"
!define MUI_FINISHPAGE_RUN_FUNCTION RunAsThePlayer
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Quillmoor is removed"
!define MUI_FINISHPAGE_TEXT "Quillmoor is removed from this computer.$\r$\n$\r$\nYour own files stay: the screenshots, the game's scaled pictures and its log in $PlayerFolder, and your keys.conf in %APPDATA%\Quillmoor. Delete those folders if you want them gone too."
!insertmacro MUI_UNPAGE_FINISH
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Quillmoor"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Quillmoor installer"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright 2026 the Quillmoor developers"

Function .onInit
  !insertmacro MULTIUSER_INIT
FunctionEnd

; The installer may run elevated, and a program it starts would too, writing
; where the player cannot. Explorer starts it as the desktop's own user.
Function RunAsThePlayer
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\quillmoor.exe"'
FunctionEnd

Section "Quillmoor"
  ; An upgrade: the installed version's own uninstaller removes its files, entries
  ; and key first (in place, waited for), so no file of it is left behind and the
  ; installed-programs list keeps one entry.
  ${If} ${FileExists} "$INSTDIR\uninstall.exe"
    ExecWait '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S _?=$INSTDIR'
  ${EndIf}
  SetOutPath "$INSTDIR"
  !include "${FILES}"
  SetOutPath "$INSTDIR"
  FileOpen $0 "$INSTDIR\${MARK}" w
  FileWrite $0 "$MultiUser.InstallMode$\r$\n"
  FileClose $0
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Quillmoor.lnk" "$INSTDIR\quillmoor.exe" "" "$INSTDIR\quillmoor.exe" 0
  ; The player's folder is each player's own, so the entry names it as Windows
  ; expands it for whoever opens it.
  CreateShortcut "$SMPROGRAMS\${FOLDER_ENTRY}" "$WINDIR\explorer.exe" '"%LOCALAPPDATA%\Quillmoor"'
  WriteRegStr SHCTX "${APP_KEY}" "DisplayName" "Quillmoor"
  WriteRegStr SHCTX "${APP_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${APP_KEY}" "Publisher" "The Quillmoor developers"
  WriteRegStr SHCTX "${APP_KEY}" "DisplayIcon" "$INSTDIR\quillmoor.exe,0"
  WriteRegStr SHCTX "${APP_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${APP_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${APP_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${APP_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${APP_KEY}" "NoRepair" 1
SectionEnd

; The uninstaller removes the installation it lies in, in that installation's
; own context, whatever its command line or the other kind's keys say.
Function un.onInit
  ReadEnvStr $PlayerFolder LOCALAPPDATA
  StrCpy $PlayerFolder "$PlayerFolder\Quillmoor"
  StrCpy $Kind ""
  ClearErrors
  FileOpen $0 "$INSTDIR\${MARK}" r
  ${IfNot} ${Errors}
    FileRead $0 $Kind
    FileClose $0
  ${EndIf}
  ; Without its mark, the machine-wide key tells whether this is that installation.
  ${If} $Kind == ""
    ReadRegStr $0 HKLM "${APP_KEY}" "InstallLocation"
    StrCpy $Kind "CurrentUser"
    ${If} $0 == $INSTDIR
      StrCpy $Kind "AllUsers"
    ${EndIf}
  ${EndIf}
  StrCpy $Kind $Kind 8
  ${If} $Kind == "AllUsers"
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
      MessageBox MB_OK|MB_ICONSTOP "Quillmoor is installed for all users: only an administrator can remove it." /SD IDOK
      SetErrorLevel 5
      Quit
    ${EndIf}
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\Quillmoor.lnk"
  Delete "$SMPROGRAMS\${FOLDER_ENTRY}"
  !define ROOT "$INSTDIR"
  !include "${UNFILES}"
  ; What the games of earlier versions made beside themselves, where they could write.
  Delete "$INSTDIR\see\*_x4.png"
  Delete "$INSTDIR\see\pictures.cache"
  Delete "$INSTDIR\see\*.part"
  Delete "$INSTDIR\hear\*.part"
  Delete "$INSTDIR\played"
  RMDir "$INSTDIR\see"
  RMDir "$INSTDIR\hear"
  Delete "$INSTDIR\${MARK}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${APP_KEY}"
SectionEnd
