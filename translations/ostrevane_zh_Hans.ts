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
</context>
</TS>
