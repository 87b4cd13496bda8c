; The Windows installer and uninstaller (x86-64, the registry's 64-bit view).
; scripts/package.sh builds it with Debian's makensis from the files of the
; zip, the build's metadata and file names given as defines (the lines of
; build/win64/installer-defines, written by cmake/Packaging.cmake):
;
;   makensis -DPRODUCT=Tarvel -DVERSION=1.0.0 -DPUBLISHER=Corvane \
;            -DVST2_FILE=Tarvel.dll -DVST3_BUNDLE=Tarvel.vst3 -DRENDER_FILE=tarvel-render.exe \
;            -DCLAP_FILE=Tarvel.clap -DSETUP_FILE=Tarvel-1.0.0-win64-setup.exe \
;            -DPAYLOAD=DIR -DOUTDIR=DIR tarvel.nsi
;
; Its command line (README.md): /S silent; /COMPONENTS=vst3,vst2,clap,render,path
; (the listed ones and no others); /VST2DIR=DIR; /D=DIR the program folder
; (last, unquoted). Exit codes: 0 installed, 1 cancelled, 2 a bad command
; line, 3 refused because a program has one of the files it would replace
; loaded (nothing was changed). The uninstaller refuses the same way.
;
; What an install put where is kept under HKLM\${STATE_KEY}: each
; component's folder ("<id>.folder") and the outermost folder it had to create
; ("<id>.created"), so that an upgrade or the uninstaller removes exactly
; that and leaves folders that others share.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true
; A file that cannot be written stops the install instead of being skipped.
AllowSkipFiles off

!macro Require NAME
  !ifndef ${NAME}
    !error "define ${NAME} missing: makensis -D${NAME}=... (scripts/package.sh gives it)"
  !endif
!macroend
!insertmacro Require PRODUCT
!insertmacro Require VERSION
!insertmacro Require PUBLISHER
!insertmacro Require VST2_FILE
!insertmacro Require VST3_BUNDLE
!insertmacro Require RENDER_FILE
!insertmacro Require CLAP_FILE
!insertmacro Require SETUP_FILE
!insertmacro Require PAYLOAD
!insertmacro Require OUTDIR

!define STATE_KEY "Software\${PUBLISHER}\${PRODUCT}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define EXIT_BAD_COMMAND_LINE 2
!define EXIT_FILE_IN_USE 3

!include LogicLib.nsh
!include Sections.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include WinMessages.nsh
!include MUI2.nsh

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTDIR}/${SETUP_FILE}"
; "setup" in the name makes Windows guess that it needs an administrator: it
; does, and its manifest says so.
!pragma warning disable 9000
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${STATE_KEY}" program.folder
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey FileDescription "${PRODUCT} ${VERSION} installer"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey LegalCopyright "GPL-3.0-or-later"

Var Vst2Dir    ; where the VST 2.4 plug-in goes
Var Busy       ; the first file a program has loaded, or ""
Var Folder     ; arguments and results of the folder and PATH helpers
Var Id
Var Top
Var Text
Var Scratch
Var Params     ; the command line

; ---- pages

!define MUI_ABORTWARNING
!define MUI_LICENSEPAGE_TEXT_TOP "${PRODUCT} is free software under the GNU General Public License, version 3 or (at your option) any later version."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "You need not accept the licence to use ${PRODUCT}; it gives you the right to share and change it."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${PAYLOAD}/LICENSE.txt"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_DIRECTORYPAGE_TEXT_TOP "tarvel-render, the licence and the uninstaller go into this folder."
!insertmacro MUI_PAGE_DIRECTORY
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipUnlessVst2
!define MUI_PAGE_HEADER_TEXT "VST 2.4 Plug-in Folder"
!define MUI_PAGE_HEADER_SUBTEXT "Choose the folder your hosts scan for VST 2 plug-ins."
!define MUI_DIRECTORYPAGE_VARIABLE $Vst2Dir
!define MUI_DIRECTORYPAGE_TEXT_TOP "VST 2.4 hosts have no common folder: choose the one your hosts scan for VST 2 plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "VST 2.4 plug-in folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English
LangString InUse ${LANG_ENGLISH} "A program has $Busy loaded.$\r$\nClose the hosts that use ${PRODUCT} (and tarvel-render), then retry."

; ---- the plug-in components, one line each: id, title, folder, payload name, kind
; (file: one module; vst3bundle: a VST3 bundle folder). Each action below is a
; macro of these five arguments.

!macro ForEachPlugin ACTION
  !insertmacro ${ACTION} vst3 "VST3 plug-in" "$COMMONFILES64\VST3" "${VST3_BUNDLE}" vst3bundle
  !insertmacro ${ACTION} vst2 "VST 2.4 plug-in" "$Vst2Dir" "${VST2_FILE}" file
  !insertmacro ${ACTION} clap "CLAP plug-in" "$COMMONFILES64\CLAP" "${CLAP_FILE}" file
!macroend

; "vst3, vst2, " and so on, for messages.
!define PLUGIN_IDS ""
!macro ListPluginId ID TITLE DIR NAME KIND
  !define /redef PLUGIN_IDS "${PLUGIN_IDS}${ID}, "
!macroend
!insertmacro ForEachPlugin ListPluginId

; Busy := the module a host loads of a plug-in in DIR, if a program has it loaded.
!macro CheckModule DIR NAME KIND
  !if ${KIND} == vst3bundle
    !insertmacro CheckFree "${DIR}\${NAME}\Contents\x86_64-win\${NAME}"
  !else
    !insertmacro CheckFree "${DIR}\${NAME}"
  !endif
!macroend

!macro InstallPlugin ID TITLE DIR NAME KIND
  Section "${TITLE}" sec_${ID}
    StrCpy $Folder "${DIR}"
    StrCpy $Id ${ID}
    Call RecordNewFolder
    !if ${KIND} == vst3bundle
      SetOutPath "${DIR}\${NAME}\Contents\Resources"
      File "${PAYLOAD}/${NAME}/Contents/Resources/moduleinfo.json"
      SetOutPath "${DIR}\${NAME}\Contents\x86_64-win"
      File "${PAYLOAD}/${NAME}/Contents/x86_64-win/${NAME}"
    !else
      SetOutPath "${DIR}"
      File "${PAYLOAD}/${NAME}"
    !endif
    WriteRegStr HKLM "${STATE_KEY}" ${ID}.folder "${DIR}"
  SectionEnd
!macroend

!macro RemovePlugin ID TITLE DIR NAME KIND
  ReadRegStr $Folder HKLM "${STATE_KEY}" ${ID}.folder
  ${If} $Folder != ""
    !if ${KIND} == vst3bundle
      RMDir /r "$Folder\${NAME}"
    !else
      Delete "$Folder\${NAME}"
    !endif
    StrCpy $Id ${ID}
    Call ${UN}RemoveNewFolders
    DeleteRegValue HKLM "${STATE_KEY}" ${ID}.folder
  ${EndIf}
!macroend

; Where the previous install put it.
!macro CheckInstalledPlugin ID TITLE DIR NAME KIND
  ReadRegStr $Folder HKLM "${STATE_KEY}" ${ID}.folder
  ${If} $Folder != ""
    !insertmacro CheckModule $Folder "${NAME}" ${KIND}
  ${EndIf}
!macroend

; Where this install will put it.
!macro CheckChosenPlugin ID TITLE DIR NAME KIND
  ${If} ${SectionIsSelected} ${sec_${ID}}
    !insertmacro CheckModule "${DIR}" "${NAME}" ${KIND}
  ${EndIf}
!macroend

!macro SelectNamedPlugin ID TITLE DIR NAME KIND
  ${If} $Text == ${ID}
    !insertmacro SelectSection ${sec_${ID}}
    StrCpy $Id ok
  ${EndIf}
!macroend

!macro UnselectPlugin ID TITLE DIR NAME KIND
  !insertmacro UnselectSection ${sec_${ID}}
!macroend

!macro ListChosenPlugin ID TITLE DIR NAME KIND
  ${If} ${SectionIsSelected} ${sec_${ID}}
    StrCpy $Text "$Text,${ID}"
  ${EndIf}
!macroend

; Busy := FILE when it exists and cannot be opened for writing: on Windows
; (and under Wine) a loaded module cannot, though it can be renamed.
!macro CheckFree FILE
  ${If} $Busy == ""
  ${AndIf} ${FileExists} ${FILE}
    ClearErrors
    FileOpen $Text ${FILE} a
    ${If} ${Errors}
      StrCpy $Busy ${FILE}
    ${Else}
      FileClose $Text
    ${EndIf}
  ${EndIf}
!macroend

; ---- what the installer and the uninstaller share (UN: "" or "un.")

!macro SharedFunctions UN
  ; Removes what the previous install recorded, and its records; the uninstall
  ; entry and the component list stay for the caller.
  Function ${UN}RemoveInstalled
    !insertmacro ForEachPlugin RemovePlugin
    ReadRegStr $Folder HKLM "${STATE_KEY}" render.folder
    ${If} $Folder != ""
      Delete "$Folder\${RENDER_FILE}"
      Delete "$Folder\${VST2_FILE}"
      DeleteRegValue HKLM "${STATE_KEY}" render.folder
    ${EndIf}
    Call ${UN}RemoveFromPath
    ReadRegStr $Folder HKLM "${STATE_KEY}" program.folder
    ${If} $Folder != ""
      Delete "$Folder\LICENSE.txt"
      Delete "$Folder\README.txt"
      Delete "$Folder\uninstall.exe"
      StrCpy $Id program
      Call ${UN}RemoveNewFolders
      DeleteRegValue HKLM "${STATE_KEY}" program.folder
    ${EndIf}
  FunctionEnd

  ; Busy := the first module of the previous install that a program has loaded.
  Function ${UN}CheckInstalledFree
    !insertmacro ForEachPlugin CheckInstalledPlugin
    ReadRegStr $Folder HKLM "${STATE_KEY}" render.folder
    ${If} $Folder != ""
      !insertmacro CheckFree "$Folder\${RENDER_FILE}"
      !insertmacro CheckFree "$Folder\${VST2_FILE}"
    ${EndIf}
  FunctionEnd

  ; Removes Folder, and the folders above it up to the outermost one that
  ; the install of component Id created, as far as they are empty.
  Function ${UN}RemoveNewFolders
    ReadRegStr $Top HKLM "${STATE_KEY}" $Id.created
    ${If} $Top == ""
      Return
    ${EndIf}
    Call ${UN}IsTopAboveFolder
    ${If} $Text == yes
      ${Do}
        RMDir $Folder
        ${If} $Folder == $Top
          ${Break}
        ${EndIf}
        ${GetParent} $Folder $Folder
      ${LoopUntil} $Folder == ""
    ${EndIf}
    ${IfNot} ${FileExists} "$Top\*.*"
    ${OrIf} $Text != yes
      DeleteRegValue HKLM "${STATE_KEY}" $Id.created
    ${EndIf}
  FunctionEnd

  ; Text := yes when Top is Folder or a folder above it.
  Function ${UN}IsTopAboveFolder
    StrLen $Text $Top
    StrCpy $Scratch $Folder $Text
    StrCpy $Text $Folder 1 $Text
    ${If} $Text == ""
    ${OrIf} $Text == "\"
      StrCpy $Text yes
    ${EndIf}
    ${If} $Scratch != $Top
      StrCpy $Text no
    ${EndIf}
  FunctionEnd

  ; Takes the program folder off the machine's PATH if this install put it
  ; there: the entry exactly, the rest of the text as it was.
  Function ${UN}RemoveFromPath
    ReadRegStr $Folder HKLM "${STATE_KEY}" path.entry
    ${If} $Folder == ""
      Return
    ${EndIf}
    ClearErrors
    ReadRegStr $Text HKLM "${ENVIRONMENT_KEY}" Path
    ${If} ${Errors}
      MessageBox MB_ICONINFORMATION "The PATH could not be read: take $Folder off it yourself." /SD IDOK
    ${Else}
      ${WordReplace} ";$Text;" ";$Folder;" ";" "+1" $Text
      StrCpy $Text $Text "" 1
      StrCpy $Text $Text -1
      WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" Path $Text
      SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=1000
    ${EndIf}
    DeleteRegValue HKLM "${STATE_KEY}" path.entry
  FunctionEnd
!macroend
!insertmacro SharedFunctions ""
!insertmacro SharedFunctions "un."

; ---- installer sections, in order

Section "-prepare"
  ; Nothing is touched while a program has one of the modules loaded: a
  ; host would keep the old one, or half of an upgrade.
  ${Do}
    StrCpy $Busy ""
    Call CheckInstalledFree
    Call CheckChosenFree
    ${If} $Busy == ""
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(InUse)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel ${EXIT_FILE_IN_USE}
    Quit
  retry:
  ${Loop}
  ; The previous install goes first, so that what is installed afterwards is
  ; exactly the chosen components, where they were chosen to go.
  Call RemoveInstalled
SectionEnd

!insertmacro ForEachPlugin InstallPlugin

Section "-program"
  StrCpy $Folder $INSTDIR
  StrCpy $Id program
  Call RecordNewFolder
  SetOutPath $INSTDIR
  File "${PAYLOAD}/LICENSE.txt"
  File "${PAYLOAD}/README.txt"
  WriteRegStr HKLM "${STATE_KEY}" program.folder $INSTDIR
SectionEnd

Section "tarvel-render (renders audio files)" sec_render
  SetOutPath $INSTDIR
  File "${PAYLOAD}/${RENDER_FILE}"
  ; The renderer loads the plug-in beside itself.
  File "${PAYLOAD}/${VST2_FILE}"
  WriteRegStr HKLM "${STATE_KEY}" render.folder $INSTDIR
SectionEnd

Section /o "tarvel-render's folder on the PATH" sec_path
  ClearErrors
  ReadRegStr $Text HKLM "${ENVIRONMENT_KEY}" Path
  ${If} ${Errors}
    MessageBox MB_ICONINFORMATION "The PATH could not be read (it may be longer than the installer can handle): add $INSTDIR to it yourself." /SD IDOK
    Return
  ${EndIf}
  ${WordFind} ";$Text;" ";$INSTDIR;" "E*" $Folder
  ${IfNot} ${Errors}
    DetailPrint "$INSTDIR is on the PATH already."
    Return
  ${EndIf}
  ; The installer's strings hold ${NSIS_MAX_STRLEN} characters: a longer
  ; PATH would lose its end.
  StrLen $Folder "$Text;$INSTDIR"
  ${If} $Folder >= ${NSIS_MAX_STRLEN}
    MessageBox MB_ICONINFORMATION "The PATH is too long for the installer to change: add $INSTDIR to it yourself." /SD IDOK
    Return
  ${EndIf}
  ${If} $Text == ""
    StrCpy $Text $INSTDIR
  ${Else}
    StrCpy $Text "$Text;$INSTDIR"
  ${EndIf}
  WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" Path $Text
  WriteRegStr HKLM "${STATE_KEY}" path.entry $INSTDIR
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=1000
SectionEnd

Section "-register"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  StrCpy $Text ""
  !insertmacro ForEachPlugin ListChosenPlugin
  ${If} ${SectionIsSelected} ${sec_render}
    StrCpy $Text "$Text,render"
  ${EndIf}
  ${If} ${SectionIsSelected} ${sec_path}
    StrCpy $Text "$Text,path"
  ${EndIf}
  StrCpy $Text $Text "" 1
  WriteRegStr HKLM "${STATE_KEY}" components $Text

  ; Sizes in KiB, as makensis counts each file; the uninstaller's own added.
  StrCpy $Id 0
  ${ForEach} $Top 0 ${sec_path} + 1
    ${If} ${SectionIsSelected} $Top
      SectionGetSize $Top $Folder
      IntOp $Id $Id + $Folder
    ${EndIf}
  ${Next}
  FileOpen $Folder "$INSTDIR\uninstall.exe" r
  FileSeek $Folder 0 END $Top
  FileClose $Folder
  IntOp $Top $Top + 1023
  IntOp $Top $Top / 1024
  IntOp $Id $Id + $Top

  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation $INSTDIR
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize $Id
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1
SectionEnd

; ---- installer functions

Function .onInit
  SetRegView 64
  ${GetParameters} $Params

  ; The VST 2.4 folder: the command line's, else the previous install's, else
  ; the one hosts read from the registry, else a folder most hosts scan.
  ClearErrors
  ${GetOptions} $Params "/VST2DIR=" $Folder
  ${IfNot} ${Errors}
    Call CleanFolder
    ${If} $Folder == ""
      StrCpy $Text "/VST2DIR= needs a full folder path, such as C:\Program Files\VSTPlugins."
      Goto bad_command_line
    ${EndIf}
  ${Else}
    ReadRegStr $Folder HKLM "${STATE_KEY}" vst2.folder
    Call CleanFolder
    ${If} $Folder == ""
      ReadRegStr $Folder HKLM "Software\VST" VSTPluginsPath
      ExpandEnvStrings $Folder $Folder
      Call CleanFolder
    ${EndIf}
    ${If} $Folder == ""
      StrCpy $Folder "$PROGRAMFILES64\VSTPlugins"
    ${EndIf}
  ${EndIf}
  StrCpy $Vst2Dir $Folder

  ; The components: the command line's, else the previous install's, else
  ; the sections' defaults.
  ClearErrors
  ${GetOptions} $Params "/COMPONENTS=" $Folder
  ${If} ${Errors}
    ReadRegStr $Folder HKLM "${STATE_KEY}" components
    ${If} $Folder == ""
      Return
    ${EndIf}
  ${EndIf}
  Call SelectComponents
  ${If} $Text != ""
    Goto bad_command_line
  ${EndIf}
  Return

bad_command_line:
  MessageBox MB_ICONSTOP $Text /SD IDOK
  SetErrorLevel ${EXIT_BAD_COMMAND_LINE}
  Quit
FunctionEnd

; Folder: a full path without a trailing backslash, else "".
Function CleanFolder
  StrCpy $Text $Folder 2 1
  StrCpy $Top $Folder 2
  ${If} $Text != ":\"
  ${AndIf} $Top != "\\"
    StrCpy $Folder ""
    Return
  ${EndIf}
  ${Do}
    StrCpy $Text $Folder 1 -1
    ${If} $Text != "\"
      ${Break}
    ${EndIf}
    StrCpy $Folder $Folder -1
  ${Loop}
  StrLen $Text $Folder
  ${If} $Text < 3
    StrCpy $Folder ""
  ${EndIf}
FunctionEnd

; Selects exactly the components named in the comma list Folder; Text := ""
; or what is wrong with the list. The PATH entry needs the renderer.
Function SelectComponents
  !insertmacro ForEachPlugin UnselectPlugin
  !insertmacro UnselectSection ${sec_render}
  !insertmacro UnselectSection ${sec_path}
  StrCpy $Folder "$Folder,"
  ${Do}
    StrCpy $Top 0
    ${Do}
      StrCpy $Text $Folder 1 $Top
      ${If} $Text == ","
        ${Break}
      ${EndIf}
      IntOp $Top $Top + 1
    ${Loop}
    StrCpy $Text $Folder $Top
    IntOp $Top $Top + 1
    StrCpy $Folder $Folder "" $Top
    StrCpy $Id ""
    !insertmacro ForEachPlugin SelectNamedPlugin
    ${If} $Text == render
    ${OrIf} $Text == path
      !insertmacro SelectSection ${sec_render}
      StrCpy $Id ok
    ${EndIf}
    ${If} $Text == path
      !insertmacro SelectSection ${sec_path}
    ${EndIf}
    ${If} $Id != ok
      StrCpy $Text "Unknown component '$Text' in /COMPONENTS=: the components are ${PLUGIN_IDS}render and path."
      Return
    ${EndIf}
  ${LoopUntil} $Folder == ""
  StrCpy $Text ""
FunctionEnd

Function .onSelChange
  ${If} ${SectionIsSelected} ${sec_path}
    !insertmacro SelectSection ${sec_render}
  ${EndIf}
FunctionEnd

Function SkipUnlessVst2
  ${IfNot} ${SectionIsSelected} ${sec_vst2}
    Abort
  ${EndIf}
FunctionEnd

; Busy := the first module this install would replace that a program has loaded.
Function CheckChosenFree
  !insertmacro ForEachPlugin CheckChosenPlugin
  ${If} ${SectionIsSelected} ${sec_render}
    !insertmacro CheckFree "$INSTDIR\${RENDER_FILE}"
    !insertmacro CheckFree "$INSTDIR\${VST2_FILE}"
  ${EndIf}
FunctionEnd

; Records the outermost folder of Folder that does not exist yet as the one
; component Id creates; a folder that exists keeps its record only if that is
; still the folder or one above it.
Function RecordNewFolder
  StrCpy $Top ""
  Push $Folder
  ${DoUntil} ${FileExists} "$Folder\*.*"
    StrCpy $Top $Folder
    ${GetParent} $Folder $Folder
  ${LoopUntil} $Folder == ""
  Pop $Folder
  ${If} $Top != ""
    WriteRegStr HKLM "${STATE_KEY}" $Id.created $Top
    Return
  ${EndIf}
  ReadRegStr $Top HKLM "${STATE_KEY}" $Id.created
  ${If} $Top != ""
    Call IsTopAboveFolder
    ${If} $Text != yes
      DeleteRegValue HKLM "${STATE_KEY}" $Id.created
    ${EndIf}
  ${EndIf}
FunctionEnd

; ---- uninstaller

Function un.onInit
  SetRegView 64
FunctionEnd

Section Uninstall
  ${Do}
    StrCpy $Busy ""
    Call un.CheckInstalledFree
    ${If} $Busy == ""
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(InUse)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel ${EXIT_FILE_IN_USE}
    Quit
  retry:
  ${Loop}
  Call un.RemoveInstalled
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${STATE_KEY}"
  DeleteRegKey /ifempty HKLM "Software\${PUBLISHER}"
SectionEnd
