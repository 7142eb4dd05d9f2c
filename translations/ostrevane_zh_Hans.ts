<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Ostrevane</name>
    <message>
        <location filename="../src/core/BrowserTabStatus.h" line="36"/>
        <source>Tab titles are limited. Enable Automation access for Ostrevane and the browser.</source>
        <translation>标签页标题信息有限。请为 Ostrevane 和浏览器启用“自动化”权限。</translation>
    </message>
    <message>
        <location filename="../src/core/BrowserTabStatus.h" line="37"/>
        <source>Browser tabs unavailable. Grant Automation access for supported browsers and restart the browser if needed.</source>
        <translation>无法读取浏览器标签页。请为受支持的浏览器授予“自动化”权限，必要时重新启动浏览器。</translation>
    </message>
    <message>
        <location filename="../src/core/Localization.cpp" line="18"/>
        <source>Follow System</source>
        <translation>跟随系统</translation>
    </message>
    <message>
        <location filename="../src/core/OnboardingManager.cpp" line="120"/>
        <source>This is the switcher</source>
        <translation>这就是切换器</translation>
    </message>
    <message>
        <location filename="../src/core/OnboardingManager.cpp" line="122"/>
        <source>Hold Option to keep the panel open. Use the keys shown here while holding Option; outside the guide, releasing Option opens the highlighted row.</source>
        <translation>按住 Option 键可让面板保持打开。按住 Option 键时使用这里显示的按键；在引导之外，松开 Option 键会打开高亮的行。</translation>
    </message>
    <message>
        <location filename="../src/core/OnboardingManager.cpp" line="125"/>
        <source>No open windows were found. You can still press Enter to search installed apps, or open an app and try again.</source>
        <translation>没有找到打开的窗口。你仍可按 Enter 键搜索已安装的应用，或者打开一个应用后再试。</translation>
    </message>
    <message>
        <location filename="../src/core/OnboardingManager.cpp" line="128"/>
        <source>summons the panel</source>
        <translation>呼出面板</translation>
    </message>
    <message>
        <location filename="../src/core/OnboardingManager.cpp" line="134"/>
        <source>Move through the list</source>
        <translation>在列表中移动</translation>
    </message>
    <message>
        <location filename="../src/core/OnboardingManager.cpp" line="135"/>
        <source>Keep holding Option, then use W/S or Tab to move the highlight. A/D enters or leaves groups.</source>
        <translation>继续按住 Option 键，然后用 W/S 或 Tab 键移动高亮。A/D 键可进入或离开分组。</translation>
    </message>
    <message>
        <location filename="../src/core/OnboardingManager.cpp" line="138"/>
        <source>No windows yet</source>
        <translation>还没有窗口</translation>
    </message>
    <message>
        <location filename="../src/core/OnboardingManager.cpp" line="139"/>
        <source>When items appear, W/S moves the highlight. For now, press Enter to search or Esc to close.</source>
        <translation>出现项目后，W/S 键可移动高亮。现在可以按 Enter 键搜索，或按 Esc 键关闭。</translation>
    </message>
    <message>
        <location filename="../src/core/OnboardingManager.cpp" line="150"/>
        <source>Action keys</source>
        <translation>操作键</translation>
    </message>
    <message>
        <location filename="../src/core/OnboardingManager.cpp" line="152"/>
        <source>While holding Option, use A to go back, X to close a tab or window, and Esc to leave without opening anything.</source>
        <translation>按住 Option 键时，用 A 键返回，用 X 键关闭标签页或窗口，用 Esc 键离开而不打开任何内容。</translation>
    </message>
    <message>
        <location filename="../src/core/OnboardingManager.cpp" line="156"/>
        <source>While holding Option, use Q for Desktop and X to close when a row supports it. Esc closes Ostrevane without opening anything.</source>
        <translation>按住 Option 键时，用 Q 键显示桌面；某一行支持关闭时，用 X 键将其关闭。按 Esc 键会关闭 Ostrevane 而不打开任何内容。</translation>
    </message>
    <message>
        <location filename="../src/core/OnboardingManager.cpp" line="186"/>
        <source>Skip</source>
        <translation>跳过</translation>
    </message>
    <message>
        <location filename="../src/core/OnboardingManager.cpp" line="187"/>
        <source>Done</source>
        <translation>完成</translation>
    </message>
    <message>
        <location filename="../src/core/OnboardingManager.cpp" line="188"/>
        <source>Next</source>
        <translation>下一步</translation>
    </message>
    <message>
        <location filename="../src/core/PanelSettings.cpp" line="23"/>
        <source>Left</source>
        <translation>左侧</translation>
    </message>
    <message>
        <location filename="../src/core/PanelSettings.cpp" line="24"/>
        <source>Right</source>
        <translation>右侧</translation>
    </message>
    <message>
        <location filename="../src/core/PanelSettings.cpp" line="27"/>
        <source>Compact</source>
        <translation>紧凑</translation>
    </message>
    <message>
        <location filename="../src/core/PanelSettings.cpp" line="28"/>
        <location filename="../src/core/PanelSettings.cpp" line="33"/>
        <source>Normal</source>
        <translation>标准</translation>
    </message>
    <message>
        <location filename="../src/core/PanelSettings.cpp" line="29"/>
        <source>Wide</source>
        <translation>宽</translation>
    </message>
    <message>
        <location filename="../src/core/PanelSettings.cpp" line="32"/>
        <source>Small</source>
        <translation>小</translation>
    </message>
    <message>
        <location filename="../src/core/PanelSettings.cpp" line="34"/>
        <source>Large</source>
        <translation>大</translation>
    </message>
    <message>
        <location filename="../src/core/PanelSettings.cpp" line="37"/>
        <source>Screen with Pointer</source>
        <translation>指针所在的屏幕</translation>
    </message>
    <message>
        <location filename="../src/core/PanelSettings.cpp" line="38"/>
        <source>Main Display</source>
        <translation>主显示器</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="33"/>
        <source>Move up</source>
        <translation>上移</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="34"/>
        <location filename="../src/core/ShortcutStore.cpp" line="36"/>
        <source>Moves selection in the switcher.</source>
        <translation>在切换器中移动选择。</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="35"/>
        <source>Move down</source>
        <translation>下移</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="37"/>
        <source>Open selected</source>
        <translation>打开所选项</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="38"/>
        <source>Opens the currently selected item.</source>
        <translation>打开当前选中的项目。</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="39"/>
        <location filename="../src/ui/SearchViewContent.cpp" line="25"/>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="40"/>
        <source>Starts searching when the search field is inactive.</source>
        <translation>在搜索框未激活时开始搜索。</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="41"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="42"/>
        <source>Closes the switcher without opening anything.</source>
        <translation>关闭切换器，不打开任何内容。</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="43"/>
        <source>Close selected</source>
        <translation>关闭所选项</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="44"/>
        <source>Closes the selected tab, window, or app when available.</source>
        <translation>在可用时关闭所选的标签页、窗口或应用。</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="45"/>
        <source>Enter group</source>
        <translation>进入分组</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="46"/>
        <source>Opens the selected tab or window group.</source>
        <translation>打开所选的标签页或窗口分组。</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="47"/>
        <location filename="../src/ui/SearchView.cpp" line="275"/>
        <location filename="../src/ui/SearchViewContent.cpp" line="29"/>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="48"/>
        <source>Returns from a group detail view.</source>
        <translation>从分组详情视图返回。</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="49"/>
        <source>Desktop</source>
        <translation>桌面</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="50"/>
        <source>Shows the desktop.</source>
        <translation>显示桌面。</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="141"/>
        <source>Navigation</source>
        <translation>导航</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="142"/>
        <source>Actions</source>
        <translation>操作</translation>
    </message>
    <message>
        <location filename="../src/core/ShortcutStore.cpp" line="205"/>
        <source>Conflicts with %@</source>
        <translation>与“%@”冲突</translation>
    </message>
    <message>
        <location filename="../src/core/SwitchItem.cpp" line="115"/>
        <source>%d open tabs</source>
        <translation>%d 个标签页</translation>
    </message>
    <message>
        <location filename="../src/core/SwitchItem.cpp" line="118"/>
        <source>%d open windows</source>
        <translation>%d 个窗口</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="32"/>
        <source>Open System Settings.</source>
        <translation>打开“系统设置”。</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="33"/>
        <source>Enable Ostrevane under Privacy &amp; Security → Accessibility.</source>
        <translation>在“隐私与安全性 → 辅助功能”中启用 Ostrevane。</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="34"/>
        <source>Return here; the shortcut tutorial will continue automatically.</source>
        <translation>回到这里，快捷键教程会自动继续。</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="118"/>
        <source>Start with the real shortcut. Hold Option to keep Ostrevane open, then use other keys while holding it.</source>
        <translation>从真正的快捷键开始。按住 Option 键让 Ostrevane 保持打开，同时使用其他按键。</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="120"/>
        <source>Ostrevane needs Accessibility before the shortcut tutorial can work.</source>
        <translation>Ostrevane 需要“辅助功能”权限，快捷键教程才能开始。</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="122"/>
        <source>When the panel appears, keep Option held. Ostrevane will explain the movement and action keys there.</source>
        <translation>面板出现后请继续按住 Option 键，Ostrevane 会在面板中讲解移动键和操作键。</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="124"/>
        <source>Ostrevane will not open System Settings again after Accessibility is enabled.</source>
        <translation>启用“辅助功能”后，Ostrevane 不会再打开“系统设置”。</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="126"/>
        <source>Skip Guide</source>
        <translation>跳过指南</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="127"/>
        <source>Open Settings</source>
        <translation>打开设置</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="128"/>
        <source>Open Accessibility Settings</source>
        <translation>打开辅助功能设置</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="129"/>
        <source>Got it</source>
        <translation>知道了</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="130"/>
        <source>Continue</source>
        <translation>继续</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="136"/>
        <source>Summon Ostrevane</source>
        <translation>呼出 Ostrevane</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="137"/>
        <source>Enable Accessibility</source>
        <translation>启用辅助功能</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingSummonView.cpp" line="264"/>
        <source>Hold Option and press Tab</source>
        <translation>按住 Option 键并按 Tab 键</translation>
    </message>
    <message>
        <location filename="../src/ui/OnboardingWindow.cpp" line="48"/>
        <source>Ostrevane Guide</source>
        <translation>Ostrevane 指南</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchView.cpp" line="274"/>
        <source>Enter to search</source>
        <translation>按 Enter 搜索</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchView.cpp" line="278"/>
        <source>Closing...</source>
        <translation>正在关闭…</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchView.cpp" line="279"/>
        <source>Close (⌥X)</source>
        <translation>关闭 (⌥X)</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchView.cpp" line="903"/>
        <source>%lld above</source>
        <translation>上方还有 %lld 项</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchView.cpp" line="906"/>
        <source>%lld below</source>
        <translation>下方还有 %lld 项</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchViewContent.cpp" line="27"/>
        <location filename="../src/ui/SearchViewContent.cpp" line="57"/>
        <source>Move</source>
        <translation>移动</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchViewContent.cpp" line="31"/>
        <source>In</source>
        <translation>进入</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchViewContent.cpp" line="32"/>
        <source>Desk</source>
        <translation>桌面</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchViewContent.cpp" line="33"/>
        <location filename="../src/ui/SearchViewContent.cpp" line="59"/>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchViewContent.cpp" line="56"/>
        <source>Type</source>
        <translation>输入</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchViewContent.cpp" line="58"/>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchViewContent.cpp" line="76"/>
        <source>No windows or tabs available</source>
        <translation>没有可用的窗口或标签页</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchViewContent.cpp" line="80"/>
        <source>Enable Accessibility for Ostrevane in System Settings → Privacy &amp; Security.</source>
        <translation>请在“系统设置 → 隐私与安全性”中为 Ostrevane 启用“辅助功能”。</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchViewContent.cpp" line="84"/>
        <source>Grant Automation access when prompted, then re-open Ostrevane.</source>
        <translation>出现提示时请授予“自动化”权限，然后重新打开 Ostrevane。</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchViewContent.cpp" line="88"/>
        <source>No matches for &quot;%@&quot;</source>
        <translation>没有与“%@”匹配的结果</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchViewContent.cpp" line="106"/>
        <source>Browser tabs need Automation permission for full titles and URLs.</source>
        <translation>浏览器标签页需要“自动化”权限才能显示完整的标题和网址。</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchViewContent.cpp" line="113"/>
        <source>Search tabs in %@</source>
        <translation>在 %@ 中搜索标签页</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchViewContent.cpp" line="115"/>
        <source>Search windows in %@</source>
        <translation>在 %@ 中搜索窗口</translation>
    </message>
    <message>
        <location filename="../src/ui/SearchViewContent.cpp" line="119"/>
        <source>Search all tabs</source>
        <translation>搜索所有标签页</translation>
    </message>
</context>
</TS>
