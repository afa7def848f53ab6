; The Quillmoor installer, made by tools/windows.sh with Debian's makensis:
;   makensis -DVERSION=... -DOUT=...setup.exe -DICON=...ico -DFILES=...nsh
;     -DUNFILES=...nsh -DLICENCE=...txt installer.nsi
; For all users (Program Files, needs an administrator) or for the current user
; only (their own programs folder); /S installs silently, /AllUsers or
; /CurrentUser choose without asking. The uninstaller removes what was installed
; and the copies the game made, and leaves the player's screenshots.
; A 64-bit installer for a 64-bit game: Wine without its 32-bit part runs it too.
Target amd64-unicode
Name "Quillmoor"
OutFile "${OUT}"
Icon "${ICON}"
UninstallIcon "${ICON}"
SetCompressor /SOLID lzma
BrandingText "Quillmoor ${VERSION}"

!define APP_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmoor"
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "Quillmoor"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${APP_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${APP_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\quillmoor.exe"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_LICENSE "${LICENCE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Quillmoor"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Quillmoor installer"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "The Quillmoor developers"

Function .onInit
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Quillmoor"
  SetOutPath "$INSTDIR"
  !include "${FILES}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The Start menu entry starts the game in its own folder; where that cannot
  ; be written, the game keeps its copies in %LOCALAPPDATA%\Quillmoor.
  CreateShortcut "$SMPROGRAMS\Quillmoor.lnk" "$INSTDIR\quillmoor.exe" "" "$INSTDIR\quillmoor.exe" 0
  WriteRegStr SHCTX "${APP_KEY}" "DisplayName" "Quillmoor"
  WriteRegStr SHCTX "${APP_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${APP_KEY}" "Publisher" "The Quillmoor developers"
  WriteRegStr SHCTX "${APP_KEY}" "DisplayIcon" "$INSTDIR\quillmoor.exe,0"
  WriteRegStr SHCTX "${APP_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${APP_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${APP_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${APP_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${APP_KEY}" "NoRepair" 1
SectionEnd

; Removes the installed files from folder and, for the player's folder, the
; copies made of them; screenshots and anything else stay, and so do the
; folders that still hold them.
!macro REMOVE_FILES folder
  !define /ReDef ROOT "${folder}"
  Delete "${folder}\see\*_x4.png"
  Delete "${folder}\see\pictures.cache"
  Delete "${folder}\see\*.part"
  Delete "${folder}\hear\*.part"
  !include "${UNFILES}"
!macroend

Section "Uninstall"
  Delete "$SMPROGRAMS\Quillmoor.lnk"
  !insertmacro REMOVE_FILES "$INSTDIR"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ; The player's folder of the user who uninstalls.
  SetShellVarContext current
  !insertmacro REMOVE_FILES "$LOCALAPPDATA\Quillmoor"
  RMDir "$LOCALAPPDATA\Quillmoor"
  DeleteRegKey SHCTX "${APP_KEY}"
SectionEnd
