; The Windows installer of Vestrim. scripts/windows-package stages the files
; and calls makensis with these defines:
;   VERSION    the program's version, x.y.z
;   FILES      an include file of the commands that install the staged files:
;              bin\ (programs, Qt, runtime, plugins, Qt's translations),
;              share\vestrim\lang\ (language files) and
;              share\doc\vestrim\guide\ (the user guide)
;   UNFILES    an include file of the commands that remove them again
;   OUTFILE    the installer to write
;   ICON       (optional) the program's icon, .ico
;
; The layout keeps the language files out of the programs' folder, so that an
; installed copy is never taken for a portable one: the program folder
; (settings, languages, error log, archive) is the per-user data folder, never
; the installation's. The uninstaller removes what the installer put there and
; leaves everything else, and the folders only when they are empty.

Unicode true
; A 64-bit installer for the 64-bit programs: it does not start on 32-bit
; Windows, and it sees the 64-bit Program Files and registry as they are.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef VERSION | FILES | UNFILES | OUTFILE
  !error "scripts/windows-package passes VERSION, FILES, UNFILES and OUTFILE"
!endif

!define PRODUCT "Vestrim"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PRODUCT}"

!include "MUI2.nsh"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_UNFINISHPAGE_NOAUTOCLOSE

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Italian"

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "${PRODUCT}" Main
  SectionIn RO
  !include "${FILES}"
!ifdef ICON
  SetOutPath "$INSTDIR"
  File "/oname=vestrim.ico" "${ICON}"
  !define SHORTCUT_ICON "$INSTDIR\vestrim.ico"
!else
  !define SHORTCUT_ICON "$INSTDIR\bin\vestrim.exe"
!endif

  ; A shortcut's working folder is the one SetOutPath set last.
  SetOutPath "$INSTDIR\bin"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\bin\vestrim.exe" "" "${SHORTCUT_ICON}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "${SHORTCUT_ICON}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Only what the installer put there: the user's own files and folders in
  ; the installation (a program folder chosen with --folder, say) stay, and
  ; so does every folder that still holds something.
  !include "${UNFILES}"
!ifdef ICON
  Delete "$INSTDIR\vestrim.ico"
!endif
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
