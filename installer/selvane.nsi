; Selvane's installer: per-user, no administrator rights, into
; %LOCALAPPDATA%\Programs\Selvane.
; Built by scripts/make-installer.sh; the defines it passes:
;   VERSION  x.y.z of the program
;   STAGE    folder with Selvane.exe, util\regjump.exe, README.txt and LICENSE.txt as
;            installed
;   OUTFILE  the installer to write
;   WIN64    (optional) a 64-bit installer for the x86_64 build; the product is 32-bit
; Command line (besides NSIS's own /S and /D=folder, which must come last):
;   /NOAUTOSTART     do not start Selvane at sign-in (the option on the Options page)
;   /RUN             silent mode: start Selvane at the end (a silent install starts it
;                    only then, or when it quit a running copy to replace it)
; Uninstaller: /S, and /REMOVESETTINGS to remove HKCU\Software\Selvane as well (a silent
; uninstall keeps the settings otherwise; an interactive one asks).

!ifndef VERSION | STAGE | OUTFILE
  !error "VERSION, STAGE and OUTFILE must be defined"
!endif

Unicode true
!ifdef WIN64
  Target amd64-unicode
!else
  Target x86-unicode
!endif
; The same sources must give the same bytes: one solid stream, no build time anywhere.
; File times come from the staged files, which the build script dates to a fixed day.
SetCompressor /SOLID lzma
SetDateSave on

!define APP "Selvane"
!define APP_EXE "Selvane.exe"
!define UNINSTALLER "Uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\Selvane"
; The tray menu's Quit command, as the program's main window handles it.
!define CMD_QUIT 32776

Name "${APP}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
ManifestDPIAware true
InstallDir "$LOCALAPPDATA\Programs\${APP}"
; An upgrade goes where the earlier version is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${APP} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${APP} ${VERSION} Setup"
VIAddVersionKey "CompanyName" "${APP}"
VIAddVersionKey "LegalCopyright" "${APP}"

!include MUI2.nsh
!include nsDialogs.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define MUI_ICON "${__FILEDIR__}\..\res\selvane.ico"
!define MUI_UNICON "${__FILEDIR__}\..\res\selvane.ico"
!define MUI_ABORTWARNING

Var AutoStart
Var StartAtEnd
Var WasRunning
Var AutoStartBox
Var StartAtEndBox

!insertmacro MUI_PAGE_DIRECTORY
Page custom OptionsPage OptionsPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Asks every running Selvane to quit as its tray menu's Quit does, and waits for it to end,
; so that no file is replaced or removed under a running program. Found by class and title
; together, as the program itself finds another copy. Sets $WasRunning to 1 when one ran;
; gives up (Abort) when one will not end and the user does not retry.
!macro QUIT_SELVANE UN
Function ${UN}QuitSelvane
  Push $0
  Push $1
  Push $2
  StrCpy $WasRunning 0
  next:
    FindWindow $0 "${APP}" "${APP}"
    StrCmp $0 0 done
    StrCpy $WasRunning 1
    DetailPrint "Asking the running ${APP} to quit"
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
    ; SYNCHRONIZE: enough to wait for the end.
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
    System::Call 'user32::PostMessageW(p r0, i ${WM_COMMAND}, p ${CMD_QUIT}, p 0)'
    StrCmp $2 0 poll
    System::Call 'kernel32::WaitForSingleObject(p r2, i 15000) i'
    System::Call 'kernel32::CloseHandle(p r2)'
    Goto check
  poll:
    ; No handle: wait for the window to go instead.
    StrCpy $1 0
  poll_more:
    Sleep 200
    IntOp $1 $1 + 1
    IsWindow $0 0 check
    IntCmp $1 75 check poll_more check
  check:
    IsWindow $0 0 next
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "${APP} is still running.$\n$\nQuit it from its tray icon (right click, Quit), then choose Retry." \
      /SD IDCANCEL IDRETRY next
    Abort "${APP} is still running."
  done:
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro QUIT_SELVANE ""
!insertmacro QUIT_SELVANE "un."

Function .onInit
  StrCpy $AutoStart 1
  StrCpy $StartAtEnd 1
  ${If} ${Silent}
    StrCpy $StartAtEnd 0
  ${EndIf}
  ; An upgrade keeps the user's earlier choice of starting at sign-in.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    ReadRegStr $0 HKCU "${RUN_KEY}" "${APP}"
    ${If} $0 == ""
      StrCpy $AutoStart 0
    ${EndIf}
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOAUTOSTART" $1
  ${IfNot} ${Errors}
    StrCpy $AutoStart 0
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/RUN" $1
  ${IfNot} ${Errors}
    StrCpy $StartAtEnd 1
  ${EndIf}
FunctionEnd

Function OptionsPage
  !insertmacro MUI_HEADER_TEXT "Options" "Choose when ${APP} starts."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 36u "${APP} waits in the notification area. Select a folder, a file \
    name or a web address in any program and press CTRL + WIN + O to open it."
  Pop $0
  ${NSD_CreateCheckbox} 0 44u 100% 12u "Start ${APP} when I sign in"
  Pop $AutoStartBox
  ${If} $AutoStart = 1
    ${NSD_Check} $AutoStartBox
  ${EndIf}
  ${NSD_CreateCheckbox} 0 60u 100% 12u "Start ${APP} when setup is done"
  Pop $StartAtEndBox
  ${If} $StartAtEnd = 1
    ${NSD_Check} $StartAtEndBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function OptionsPageLeave
  ${NSD_GetState} $AutoStartBox $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $AutoStart 1
  ${Else}
    StrCpy $AutoStart 0
  ${EndIf}
  ${NSD_GetState} $StartAtEndBox $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $StartAtEnd 1
  ${Else}
    StrCpy $StartAtEnd 0
  ${EndIf}
FunctionEnd

; A chosen folder that already holds other files (Documents, say) gets a folder of Selvane's
; own inside it: setup would otherwise overwrite a README.txt of the user's there, uninstall
; remove it, and Apps & features count the whole folder. A folder with a Selvane.exe is an
; earlier install and is used as it is.
Function UseOwnFolder
  ${DirState} "$INSTDIR" $0
  ${If} $0 = 1
  ${AndIfNot} ${FileExists} "$INSTDIR\${APP_EXE}"
    StrCpy $0 "$INSTDIR" "" -1
    ${If} $0 == "\"
      StrCpy $INSTDIR "$INSTDIR" -1
    ${EndIf}
    StrCpy $INSTDIR "$INSTDIR\${APP}"
  ${EndIf}
FunctionEnd

; Adds the size in bytes of the file $0 to $1.
Function AddFileSize
  ClearErrors
  FileOpen $2 "$0" r
  ${IfNot} ${Errors}
    FileSeek $2 0 END $3
    FileClose $2
    IntOp $1 $1 + $3
  ${EndIf}
FunctionEnd

Section "${APP}"
  SetShellVarContext current
  Call UseOwnFolder
  Call QuitSelvane
  ; The settings under HKCU\Software\Selvane are the user's: an upgrade never touches them.
  SetOutPath "$INSTDIR\util"
  File "${STAGE}\util\regjump.exe"
  SetOutPath "$INSTDIR"
  File "${STAGE}\${APP_EXE}"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The working folder of the shortcut and of the start at the end: Selvane looks up a
  ; relative name there, and in the program's own folder a selected word "Uninstall.exe"
  ; would start the uninstaller.
  SetOutPath "$PROFILE"
  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\${APP_EXE}"
  ${If} $AutoStart = 1
    WriteRegStr HKCU "${RUN_KEY}" "${APP}" '"$INSTDIR\${APP_EXE}"'
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "${APP}"
  ${EndIf}

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${APP}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\${APP_EXE}",0'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  ; Selvane's own files only, in KB: the folder may hold the user's files too.
  StrCpy $1 0
  StrCpy $0 "$INSTDIR\${APP_EXE}"
  Call AddFileSize
  StrCpy $0 "$INSTDIR\util\regjump.exe"
  Call AddFileSize
  StrCpy $0 "$INSTDIR\README.txt"
  Call AddFileSize
  StrCpy $0 "$INSTDIR\${UNINSTALLER}"
  Call AddFileSize
  IntOp $1 $1 / 1024
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

  ; A silent upgrade puts back the copy it quit.
  ${If} ${Silent}
  ${AndIf} $WasRunning = 1
    StrCpy $StartAtEnd 1
  ${EndIf}
  ${If} $StartAtEnd = 1
    Exec '"$INSTDIR\${APP_EXE}"'
  ${EndIf}
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Call un.QuitSelvane
  ; Only what the installer put there: a user's own files in the folder stay, and so does
  ; the folder then.
  Delete "$INSTDIR\${APP_EXE}"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\util\regjump.exe"
  RMDir "$INSTDIR\util"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${APP}.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "${APP}"

  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${If} ${Errors}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "Remove your ${APP} settings as well?$\n$\nThey are the hotkey and balloon choices under HKEY_CURRENT_USER\${SETTINGS_KEY}. Keep them if you will install ${APP} again." \
      /SD IDNO IDNO keep
  ${EndIf}
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  keep:
  ; Last, so that the entry in Apps & features goes only once all else is done.
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
