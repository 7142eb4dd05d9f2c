<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Ostrevane</name>
    <message>
        <source>Tab titles are limited. Enable Automation access for Ostrevane and the browser.</source>
        <translation>标签页标题信息有限。请为 Ostrevane 和浏览器启用“自动化”权限。</translation>
    </message>
    <message>
        <source>Browser tabs unavailable. Grant Automation access for supported browsers and restart the browser if needed.</source>
        <translation>无法读取浏览器标签页。请为受支持的浏览器授予“自动化”权限，必要时重新启动浏览器。</translation>
    </message>
    <message>
        <source>Follow System</source>
        <translation>跟随系统</translation>
    </message>
    <message>
        <source>This is the switcher</source>
        <translation>这就是切换器</translation>
    </message>
    <message>
        <source>Hold Option to keep the panel open. Use the keys shown here while holding Option; outside the guide, releasing Option opens the highlighted row.</source>
        <translation>按住 Option 键可让面板保持打开。按住 Option 键时使用这里显示的按键；在引导之外，松开 Option 键会打开高亮的行。</translation>
    </message>
    <message>
        <source>No open windows were found. You can still press Enter to search installed apps, or open an app and try again.</source>
        <translation>没有找到打开的窗口。你仍可按 Enter 键搜索已安装的应用，或者打开一个应用后再试。</translation>
    </message>
    <message>
        <source>summons the panel</source>
        <translation>呼出面板</translation>
    </message>
    <message>
        <source>Move through the list</source>
        <translation>在列表中移动</translation>
    </message>
    <message>
        <source>Keep holding Option, then use W/S or Tab to move the highlight. A/D enters or leaves groups.</source>
        <translation>继续按住 Option 键，然后用 W/S 或 Tab 键移动高亮。A/D 键可进入或离开分组。</translation>
    </message>
    <message>
        <source>No windows yet</source>
        <translation>还没有窗口</translation>
    </message>
    <message>
        <source>When items appear, W/S moves the highlight. For now, press Enter to search or Esc to close.</source>
        <translation>出现项目后，W/S 键可移动高亮。现在可以按 Enter 键搜索，或按 Esc 键关闭。</translation>
    </message>
    <message>
        <source>Action keys</source>
        <translation>操作键</translation>
    </message>
    <message>
        <source>While holding Option, use A to go back, X to close a tab or window, and Esc to leave without opening anything.</source>
        <translation>按住 Option 键时，用 A 键返回，用 X 键关闭标签页或窗口，用 Esc 键离开而不打开任何内容。</translation>
    </message>
    <message>
        <source>While holding Option, use Q for Desktop and X to close when a row supports it. Esc closes Ostrevane without opening anything.</source>
        <translation>按住 Option 键时，用 Q 键显示桌面；某一行支持关闭时，用 X 键将其关闭。按 Esc 键会关闭 Ostrevane 而不打开任何内容。</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>跳过</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>下一步</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>左侧</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>右侧</translation>
    </message>
    <message>
        <source>Compact</source>
        <translation>紧凑</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>标准</translation>
    </message>
    <message>
        <source>Wide</source>
        <translation>宽</translation>
    </message>
    <message>
        <source>Small</source>
        <translation>小</translation>
    </message>
    <message>
        <source>Large</source>
        <translation>大</translation>
    </message>
    <message>
        <source>Screen with Pointer</source>
        <translation>指针所在的屏幕</translation>
    </message>
    <message>
        <source>Main Display</source>
        <translation>主显示器</translation>
    </message>
    <message>
        <source>Move up</source>
        <translation>上移</translation>
    </message>
    <message>
        <source>Moves selection in the switcher.</source>
        <translation>在切换器中移动选择。</translation>
    </message>
    <message>
        <source>Move down</source>
        <translation>下移</translation>
    </message>
    <message>
        <source>Open selected</source>
        <translation>打开所选项</translation>
    </message>
    <message>
        <source>Opens the currently selected item.</source>
        <translation>打开当前选中的项目。</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <source>Starts searching when the search field is inactive.</source>
        <translation>在搜索框未激活时开始搜索。</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Closes the switcher without opening anything.</source>
        <translation>关闭切换器，不打开任何内容。</translation>
    </message>
    <message>
        <source>Close selected</source>
        <translation>关闭所选项</translation>
    </message>
    <message>
        <source>Closes the selected tab, window, or app when available.</source>
        <translation>在可用时关闭所选的标签页、窗口或应用。</translation>
    </message>
    <message>
        <source>Enter group</source>
        <translation>进入分组</translation>
    </message>
    <message>
        <source>Opens the selected tab or window group.</source>
        <translation>打开所选的标签页或窗口分组。</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <source>Returns from a group detail view.</source>
        <translation>从分组详情视图返回。</translation>
    </message>
    <message>
        <source>Desktop</source>
        <translation>桌面</translation>
    </message>
    <message>
        <source>Shows the desktop.</source>
        <translation>显示桌面。</translation>
    </message>
    <message>
        <source>Navigation</source>
        <translation>导航</translation>
    </message>
    <message>
        <source>Actions</source>
        <translation>操作</translation>
    </message>
    <message>
        <source>Conflicts with %@</source>
        <translation>与“%@”冲突</translation>
    </message>
    <message>
        <source>%d open tabs</source>
        <translation>%d 个标签页</translation>
    </message>
    <message>
        <source>%d open windows</source>
        <translation>%d 个窗口</translation>
    </message>
    <message>
        <source>Open System Settings.</source>
        <translation>打开“系统设置”。</translation>
    </message>
    <message>
        <source>Enable Ostrevane under Privacy &amp; Security → Accessibility.</source>
        <translation>在“隐私与安全性 → 辅助功能”中启用 Ostrevane。</translation>
    </message>
    <message>
        <source>Return here; the shortcut tutorial will continue automatically.</source>
        <translation>回到这里，快捷键教程会自动继续。</translation>
    </message>
    <message>
        <source>Start with the real shortcut. Hold Option to keep Ostrevane open, then use other keys while holding it.</source>
        <translation>从真正的快捷键开始。按住 Option 键让 Ostrevane 保持打开，同时使用其他按键。</translation>
    </message>
    <message>
        <source>Ostrevane needs Accessibility before the shortcut tutorial can work.</source>
        <translation>Ostrevane 需要“辅助功能”权限，快捷键教程才能开始。</translation>
    </message>
    <message>
        <source>When the panel appears, keep Option held. Ostrevane will explain the movement and action keys there.</source>
        <translation>面板出现后请继续按住 Option 键，Ostrevane 会在面板中讲解移动键和操作键。</translation>
    </message>
    <message>
        <source>Ostrevane will not open System Settings again after Accessibility is enabled.</source>
        <translation>启用“辅助功能”后，Ostrevane 不会再打开“系统设置”。</translation>
    </message>
    <message>
        <source>Skip Guide</source>
        <translation>跳过指南</translation>
    </message>
    <message>
        <source>Open Settings</source>
        <translation>打开设置</translation>
    </message>
    <message>
        <source>Open Accessibility Settings</source>
        <translation>打开辅助功能设置</translation>
    </message>
    <message>
        <source>Got it</source>
        <translation>知道了</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>继续</translation>
    </message>
    <message>
        <source>Summon Ostrevane</source>
        <translation>呼出 Ostrevane</translation>
    </message>
    <message>
        <source>Enable Accessibility</source>
        <translation>启用辅助功能</translation>
    </message>
    <message>
        <source>Hold Option and press Tab</source>
        <translation>按住 Option 键并按 Tab 键</translation>
    </message>
    <message>
        <source>Ostrevane Guide</source>
        <translation>Ostrevane 指南</translation>
    </message>
    <message>
        <source>Enter to search</source>
        <translation>按 Enter 搜索</translation>
    </message>
    <message>
        <source>Closing...</source>
        <translation>正在关闭…</translation>
    </message>
    <message>
        <source>Close (⌥X)</source>
        <translation>关闭 (⌥X)</translation>
    </message>
    <message>
        <source>%lld above</source>
        <translation>上方还有 %lld 项</translation>
    </message>
    <message>
        <source>%lld below</source>
        <translation>下方还有 %lld 项</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>移动</translation>
    </message>
    <message>
        <source>In</source>
        <translation>进入</translation>
    </message>
    <message>
        <source>Desk</source>
        <translation>桌面</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>输入</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>No windows or tabs available</source>
        <translation>没有可用的窗口或标签页</translation>
    </message>
    <message>
        <source>Enable Accessibility for Ostrevane in System Settings → Privacy &amp; Security.</source>
        <translation>请在“系统设置 → 隐私与安全性”中为 Ostrevane 启用“辅助功能”。</translation>
    </message>
    <message>
        <source>Grant Automation access when prompted, then re-open Ostrevane.</source>
        <translation>出现提示时请授予“自动化”权限，然后重新打开 Ostrevane。</translation>
    </message>
    <message>
        <source>No matches for &quot;%@&quot;</source>
        <translation>没有与“%@”匹配的结果</translation>
    </message>
    <message>
        <source>Browser tabs need Automation permission for full titles and URLs.</source>
        <translation>浏览器标签页需要“自动化”权限才能显示完整的标题和网址。</translation>
    </message>
    <message>
        <source>Search tabs in %@</source>
        <translation>在 %@ 中搜索标签页</translation>
    </message>
    <message>
        <source>Search windows in %@</source>
        <translation>在 %@ 中搜索窗口</translation>
    </message>
    <message>
        <source>Search all tabs</source>
        <translation>搜索所有标签页</translation>
    </message>
    <message>
        <source>Move Ostrevane to Applications?</source>
        <translation>将 Ostrevane 移到“应用程序”文件夹？</translation>
    </message>
    <message>
        <source>Ostrevane is running from a disk image. Installing it to your Applications folder keeps it available after you eject the DMG and avoids future Gatekeeper warnings.</source>
        <translation>Ostrevane 正在从磁盘映像运行。将它安装到“应用程序”文件夹后，推出 DMG 后仍可使用，并可避免以后的 Gatekeeper 警告。</translation>
    </message>
    <message>
        <source>Install Ostrevane on this computer?</source>
        <translation>将 Ostrevane 安装到这台电脑上？</translation>
    </message>
    <message>
        <source>Ostrevane is running from a removable drive. Installing it in your home folder keeps it available after you remove the drive and adds it to your applications menu.</source>
        <translation>Ostrevane 正在从可移动驱动器运行。将它安装到你的主文件夹后，拔下驱动器后仍可使用，并会出现在应用程序菜单中。</translation>
    </message>
    <message>
        <source>The update server answered with error %@. Try again later.</source>
        <translation>更新服务器返回了错误 %@。请稍后再试。</translation>
    </message>
    <message>
        <source>The update could not be installed: %@</source>
        <translation>无法安装更新：%@</translation>
    </message>
    <message>
        <source>Ostrevane cannot update itself because you may not change its folder (%@).</source>
        <translation>Ostrevane 无法自行更新，因为你无权更改它所在的文件夹（%@）。</translation>
    </message>
    <message>
        <source>Ostrevane %@ is currently the newest version available.</source>
        <translation>Ostrevane %@ 已是目前最新的版本。</translation>
    </message>
    <message>
        <source>Ostrevane %@ is now available (you have %@).</source>
        <translation>Ostrevane %@ 现已推出（你的版本是 %@）。</translation>
    </message>
    <message>
        <source>Ostrevane %@ is installed</source>
        <translation>Ostrevane %@ 已安装</translation>
    </message>
    <message>
        <source>Skip This Version</source>
        <translation>跳过此版本</translation>
    </message>
    <message>
        <source>Remind Me Later</source>
        <translation>稍后提醒我</translation>
    </message>
    <message>
        <source>Install Update</source>
        <translation>安装更新</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>好</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>安装</translation>
    </message>
    <message>
        <source>Not Now</source>
        <translation>以后再说</translation>
    </message>
    <message>
        <source>Install failed</source>
        <translation>安装失败</translation>
    </message>
    <message>
        <source>Update Error</source>
        <translation>更新出错</translation>
    </message>
    <message>
        <source>Updates Are Not Available</source>
        <translation>无法使用更新</translation>
    </message>
    <message>
        <source>This copy of Ostrevane was built without software updates. Update it the way you installed it.</source>
        <translation>此 Ostrevane 在构建时未包含软件更新功能。请按照安装它的方式来更新。</translation>
    </message>
    <message>
        <source>The update information is not offered over a secure connection (https), so Ostrevane did not read it.</source>
        <translation>更新信息不是通过安全连接（https）提供的，因此 Ostrevane 没有读取它。</translation>
    </message>
    <message>
        <source>Ostrevane could not reach the update server. Check your connection and try again later.</source>
        <translation>Ostrevane 无法连接到更新服务器。请检查网络连接，稍后再试。</translation>
    </message>
    <message>
        <source>The update server did not answer in time. Try again later.</source>
        <translation>更新服务器未能及时响应。请稍后再试。</translation>
    </message>
    <message>
        <source>The update information is much larger than expected, so Ostrevane did not read it.</source>
        <translation>更新信息远大于预期，因此 Ostrevane 没有读取它。</translation>
    </message>
    <message>
        <source>The update information is damaged and could not be read.</source>
        <translation>更新信息已损坏，无法读取。</translation>
    </message>
    <message>
        <source>The update is not offered over a secure connection (https), so Ostrevane did not download it.</source>
        <translation>此更新不是通过安全连接（https）提供的，因此 Ostrevane 没有下载它。</translation>
    </message>
    <message>
        <source>The update could not be downloaded. Try again later.</source>
        <translation>无法下载更新。请稍后再试。</translation>
    </message>
    <message>
        <source>The downloaded update does not have the expected size, so it was not installed.</source>
        <translation>下载的更新大小与预期不符，因此没有安装。</translation>
    </message>
    <message>
        <source>The downloaded update is not signed by the makers of Ostrevane, so it was not installed.</source>
        <translation>下载的更新没有 Ostrevane 开发者的签名，因此没有安装。</translation>
    </message>
    <message>
        <source>This copy of Ostrevane was installed by your system&apos;s package manager. Update it there, for example with your software center or &quot;sudo apt upgrade&quot;.</source>
        <translation>此 Ostrevane 是由系统的软件包管理器安装的。请在那里更新它，例如使用软件中心或 &quot;sudo apt upgrade&quot;。</translation>
    </message>
    <message>
        <source>This copy of Ostrevane cannot replace itself. Install the new version the way you installed this one.</source>
        <translation>此 Ostrevane 无法替换自身。请按照安装此版本的方式安装新版本。</translation>
    </message>
    <message>
        <source>You&apos;re up to date!</source>
        <translation>已是最新版本！</translation>
    </message>
    <message>
        <source>Would you like to install it now?</source>
        <translation>要现在安装吗？</translation>
    </message>
    <message>
        <source>Check for updates automatically?</source>
        <translation>自动检查更新？</translation>
    </message>
    <message>
        <source>Should Ostrevane look for a new version once a day? You can change this in the preferences at any time.</source>
        <translation>要让 Ostrevane 每天检查一次新版本吗？你可以随时在偏好设置中更改。</translation>
    </message>
    <message>
        <source>Check Automatically</source>
        <translation>自动检查</translation>
    </message>
    <message>
        <source>Don&apos;t Check</source>
        <translation>不检查</translation>
    </message>
    <message>
        <source>The new version runs from the next start. Restart Ostrevane now?</source>
        <translation>新版本将在下次启动时运行。现在重新启动 Ostrevane 吗？</translation>
    </message>
    <message>
        <source>Restart Now</source>
        <translation>立即重新启动</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>以后</translation>
    </message>
    <message>
        <source>Software Update</source>
        <translation>软件更新</translation>
    </message>
    <message>
        <source>A new version of Ostrevane is available!</source>
        <translation>Ostrevane 有新版本可用！</translation>
    </message>
    <message>
        <source>Release Notes:</source>
        <translation>版本说明：</translation>
    </message>
    <message>
        <source>Downloading update…</source>
        <translation>正在下载更新…</translation>
    </message>
    <message>
        <source>Minimised</source>
        <translation>已最小化</translation>
    </message>
    <message>
        <source>Desktop %d</source>
        <translation>桌面 %d</translation>
    </message>
    <message>
        <source>ostrevane: no X display is set (DISPLAY is empty); Ostrevane runs in an X11 session.</source>
        <translation>ostrevane：未设置 X 显示（DISPLAY 为空）；Ostrevane 需要在 X11 会话中运行。</translation>
    </message>
    <message>
        <source>ostrevane: cannot open the X display &quot;%@&quot;; Ostrevane runs in an X11 session.</source>
        <translation>ostrevane：无法打开 X 显示“%@”；Ostrevane 需要在 X11 会话中运行。</translation>
    </message>
    <message>
        <source>ostrevane: Ostrevane is not running.</source>
        <translation>ostrevane：Ostrevane 未在运行。</translation>
    </message>
    <message>
        <source>ostrevane: unknown option &quot;%@&quot;. Try &quot;ostrevane --help&quot;.</source>
        <translation>ostrevane：未知选项“%@”。请运行“ostrevane --help”查看用法。</translation>
    </message>
    <message>
        <source>ostrevane: &quot;%@&quot; is no preferences pane; choose general, shortcuts, appearance, exceptions or feedback.</source>
        <translation>ostrevane：“%@”不是偏好设置面板；可选 general、shortcuts、appearance、exceptions 或 feedback。</translation>
    </message>
    <message>
        <source>ostrevane: give only one of --show, --preferences and --quit.</source>
        <translation>ostrevane：--show、--preferences 和 --quit 只能给出其中一个。</translation>
    </message>
    <message>
        <source>Usage: ostrevane [--show | --preferences [PANE] | --quit]

A keyboard-driven window switcher for X11: hold Alt and press Tab.

Without an option Ostrevane starts; when it already runs, its preferences open.

  --show                open the switcher as the shortcut does (for window manager
                        key bindings and scripts)
  --preferences [PANE]  open the preferences on PANE: general, shortcuts, appearance,
                        exceptions or feedback
  --quit                stop the running Ostrevane
  --version             print the version
  -h, --help            print this help
</source>
        <translation>用法：ostrevane [--show | --preferences [面板] | --quit]

用键盘操作的 X11 窗口切换器：按住 Alt 键并按 Tab 键。

不带选项时启动 Ostrevane；如果它已在运行，则打开其偏好设置。

  --show                像快捷键一样打开切换器（用于窗口管理器的按键绑定和脚本）
  --preferences [面板]  在指定面板上打开偏好设置：general、shortcuts、appearance、
                        exceptions 或 feedback
  --quit                停止正在运行的 Ostrevane
  --version             显示版本
  -h, --help            显示本帮助
</translation>
    </message>
    <message>
        <source>Waiting for a Window Manager</source>
        <translation>正在等待窗口管理器</translation>
    </message>
    <message>
        <source>Ostrevane lists and switches windows through the window manager, and none that follows the EWMH standard runs on this display yet.</source>
        <translation>Ostrevane 通过窗口管理器列出和切换窗口，但此显示上还没有运行符合 EWMH 标准的窗口管理器。</translation>
    </message>
    <message>
        <source>This page moves on by itself as soon as a window manager runs.</source>
        <translation>窗口管理器一运行，此页面就会自动继续。</translation>
    </message>
    <message>
        <source>Start with the real shortcut. Hold Alt to keep Ostrevane open, then use other keys while holding it.</source>
        <translation>从真正的快捷键开始。按住 Alt 键让 Ostrevane 保持打开，同时使用其他按键。</translation>
    </message>
    <message>
        <source>When the panel appears, keep Alt held. Ostrevane will explain the movement and action keys there.</source>
        <translation>面板出现后请继续按住 Alt 键，Ostrevane 会在面板中讲解移动键和操作键。</translation>
    </message>
    <message>
        <source>Hold Alt and press Tab</source>
        <translation>按住 Alt 键并按 Tab 键</translation>
    </message>
    <message>
        <source>Hold Alt to keep the panel open. Use the keys shown here while holding Alt; outside the guide, releasing Alt opens the highlighted row.</source>
        <translation>按住 Alt 键可让面板保持打开。按住 Alt 键时使用这里显示的按键；在引导之外，松开 Alt 键会打开高亮的行。</translation>
    </message>
    <message>
        <source>Keep holding Alt, then use W/S or Tab to move the highlight. A/D enters or leaves groups.</source>
        <translation>继续按住 Alt 键，然后用 W/S 或 Tab 键移动高亮。A/D 键可进入或离开分组。</translation>
    </message>
    <message>
        <source>While holding Alt, use A to go back, X to close a tab or window, and Esc to leave without opening anything.</source>
        <translation>按住 Alt 键时，用 A 键返回，用 X 键关闭标签页或窗口，用 Esc 键离开而不打开任何内容。</translation>
    </message>
    <message>
        <source>While holding Alt, use Q for Desktop and X to close when a row supports it. Esc closes Ostrevane without opening anything.</source>
        <translation>按住 Alt 键时，用 Q 键显示桌面；某一行支持关闭时，用 X 键将其关闭。按 Esc 键会关闭 Ostrevane 而不打开任何内容。</translation>
    </message>
    <message>
        <source>Start a window manager that follows the EWMH standard: Ostrevane lists windows through it.</source>
        <translation>请启动一个符合 EWMH 标准的窗口管理器：Ostrevane 通过它列出窗口。</translation>
    </message>
    <message>
        <source>Close (%@)</source>
        <translation>关闭 (%@)</translation>
    </message>
    <message>
        <source>Another program holds %@, so it cannot summon Ostrevane yet. Remove that shortcut there (usually the window manager&apos;s own window cycling); Ostrevane takes it as soon as it is free.</source>
        <translation>另一个程序占用了 %@，所以暂时无法用它呼出 Ostrevane。请在那个程序中移除该快捷键（通常是窗口管理器自带的窗口切换）；快捷键一旦空出，Ostrevane 就会接管它。</translation>
    </message>
    <message>
        <source>Start a window manager such as Openbox, Xfwm or KWin.</source>
        <translation>启动一个窗口管理器，例如 Openbox、Xfwm 或 KWin。</translation>
    </message>
    <message>
        <source>Nothing to allow: Linux has no accessibility permission.</source>
        <translation>无需授权：Linux 没有辅助功能权限。</translation>
    </message>
    <message>
        <source>Not responding</source>
        <translation>未响应</translation>
    </message>
    <message>
        <source>Not responding · close again to force quit</source>
        <translation>未响应 · 再次关闭可强制退出</translation>
    </message>
    <message>
        <source>Install the Ostrevane extension in %@.</source>
        <translation>请在 %@ 中安装 Ostrevane 扩展。</translation>
    </message>
    <message>
        <source>Tab titles are limited. Install the Ostrevane extension in %@.</source>
        <translation>标签页标题信息有限。请在 %@ 中安装 Ostrevane 扩展。</translation>
    </message>
    <message>
        <source>%@ is a Snap package, whose sandbox keeps its tabs from Ostrevane. Install the browser from your distribution&apos;s packages to switch to its tabs.</source>
        <translation>%@ 是 Snap 软件包，其沙盒使 Ostrevane 无法读取它的标签页。请改用发行版软件源中的该浏览器，以便切换到它的标签页。</translation>
    </message>
    <message>
        <source>%@ is a Flatpak package, whose sandbox keeps its tabs from Ostrevane. Install the browser from your distribution&apos;s packages to switch to its tabs.</source>
        <translation>%@ 是 Flatpak 软件包，其沙盒使 Ostrevane 无法读取它的标签页。请改用发行版软件源中的该浏览器，以便切换到它的标签页。</translation>
    </message>
    <message>
        <source>Could not update login item. Move Ostrevane to Applications and try again.</source>
        <translation>无法更新登录项。请将 Ostrevane 移到“应用程序”文件夹后重试。</translation>
    </message>
    <message>
        <source>Could not update login item. Check that %@ can be written and try again.</source>
        <translation>无法更新登录项。请确认 %@ 可以写入，然后重试。</translation>
    </message>
    <message>
        <source>General</source>
        <translation>通用</translation>
    </message>
    <message>
        <source>Shortcuts</source>
        <translation>快捷键</translation>
    </message>
    <message>
        <source>Appearance</source>
        <translation>外观</translation>
    </message>
    <message>
        <source>Exceptions</source>
        <translation>例外</translation>
    </message>
    <message>
        <source>Feedback</source>
        <translation>反馈</translation>
    </message>
    <message>
        <source>Panel</source>
        <translation>面板</translation>
    </message>
    <message>
        <source>Font size</source>
        <translation>字体大小</translation>
    </message>
    <message>
        <source>Scales titles, subtitles and the search field.</source>
        <translation>缩放标题、副标题和搜索框。</translation>
    </message>
    <message>
        <source>Panel width</source>
        <translation>面板宽度</translation>
    </message>
    <message>
        <source>Compact = 290 px · Normal = 340 px · Wide = 400 px</source>
        <translation>紧凑 = 290 px · 标准 = 340 px · 宽 = 400 px</translation>
    </message>
    <message>
        <source>List Contents</source>
        <translation>列表内容</translation>
    </message>
    <message>
        <source>Show apps without windows</source>
        <translation>显示没有窗口的应用</translation>
    </message>
    <message>
        <source>When off, only running windows and browser tabs are shown.</source>
        <translation>关闭时，只显示打开的窗口和浏览器标签页。</translation>
    </message>
    <message>
        <source>Prefer browser tabs</source>
        <translation>优先显示浏览器标签页</translation>
    </message>
    <message>
        <source>When the active app is a supported browser, open directly into that browser&apos;s tab list.</source>
        <translation>当前应用是受支持的浏览器时，直接打开该浏览器的标签页列表。</translation>
    </message>
    <message>
        <source>None</source>
        <translation>无</translation>
    </message>
    <message>
        <source>Ignored apps (regex)</source>
        <translation>忽略的应用（正则表达式）</translation>
    </message>
    <message>
        <source>Ignored windows (regex)</source>
        <translation>忽略的窗口（正则表达式）</translation>
    </message>
    <message>
        <source>Ignored apps</source>
        <translation>忽略的应用</translation>
    </message>
    <message>
        <source>These apps are completely hidden from Ostrevane.</source>
        <translation>这些应用在 Ostrevane 中完全隐藏。</translation>
    </message>
    <message>
        <source>Add app…</source>
        <translation>添加应用…</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>添加</translation>
    </message>
    <message>
        <source>Choose an App to Ignore</source>
        <translation>选择要忽略的应用</translation>
    </message>
    <message>
        <source>Applications</source>
        <translation>应用程序</translation>
    </message>
    <message>
        <source>What you expected to happen.</source>
        <translation>你预期会发生什么。</translation>
    </message>
    <message>
        <source>What actually happened.</source>
        <translation>实际发生了什么。</translation>
    </message>
    <message>
        <source>The app/window/tab you were switching, if relevant.</source>
        <translation>你当时切换的应用、窗口或标签页（如有关系）。</translation>
    </message>
    <message>
        <source>Whether it happens every time or only sometimes.</source>
        <translation>问题是每次都会出现，还是偶尔出现。</translation>
    </message>
    <message>
        <source>Send Feedback</source>
        <translation>发送反馈</translation>
    </message>
    <message>
        <source>Open GitHub Issue</source>
        <translation>打开 GitHub 问题</translation>
    </message>
    <message>
        <source>What to include</source>
        <translation>请包含以下内容</translation>
    </message>
    <message>
        <source>Bug reports are most useful with the copied diagnostics attached. They do not include window titles, tab URLs, or personal content.</source>
        <translation>附上复制的诊断信息时，错误报告最有帮助。诊断信息不包含窗口标题、标签页网址或个人内容。</translation>
    </message>
    <message>
        <source>Copied</source>
        <translation>已复制</translation>
    </message>
    <message>
        <source>Copy Diagnostics</source>
        <translation>复制诊断信息</translation>
    </message>
    <message>
        <source>Press keys…</source>
        <translation>请按键…</translation>
    </message>
    <message>
        <source>Ready. Ostrevane can listen for the shortcut and activate windows.</source>
        <translation>已就绪。Ostrevane 可以监听快捷键并激活窗口。</translation>
    </message>
    <message>
        <source>Required. Enable Ostrevane in System Settings → Privacy &amp; Security → Accessibility.</source>
        <translation>必需。请在“系统设置 → 隐私与安全性 → 辅助功能”中启用 Ostrevane。</translation>
    </message>
    <message>
        <source>Required. Ostrevane needs an X11 session with a window manager that supports EWMH, such as openbox, Xfwm, KWin or Mutter.</source>
        <translation>必需。Ostrevane 需要在 X11 会话中运行，并使用支持 EWMH 的窗口管理器，例如 openbox、Xfwm、KWin 或 Mutter。</translation>
    </message>
    <message>
        <source>Ready. Ostrevane can read %d browser tabs.</source>
        <translation>已就绪。Ostrevane 可以读取 %d 个浏览器标签页。</translation>
    </message>
    <message>
        <source>Limited tab data. Enable Automation for Ostrevane and the browser in System Settings.</source>
        <translation>标签页数据有限。请在“系统设置”中为 Ostrevane 和浏览器启用“自动化”。</translation>
    </message>
    <message>
        <source>Limited tab data. Install the Ostrevane browser extension to read full titles and addresses.</source>
        <translation>标签页数据有限。请安装 Ostrevane 浏览器扩展，以读取完整的标题和网址。</translation>
    </message>
    <message>
        <source>Blocked. Enable Automation for Ostrevane and the browser, then restart the browser if needed.</source>
        <translation>已阻止。请为 Ostrevane 和浏览器启用“自动化”，必要时重新启动浏览器。</translation>
    </message>
    <message>
        <source>Blocked. Install the Ostrevane browser extension, then restart the browser if needed.</source>
        <translation>已阻止。请安装 Ostrevane 浏览器扩展，必要时重新启动浏览器。</translation>
    </message>
    <message>
        <source>Open a supported browser first, then test tab tracking.</source>
        <translation>请先打开受支持的浏览器，再测试标签页读取。</translation>
    </message>
    <message>
        <source>Keyboard</source>
        <translation>键盘</translation>
    </message>
    <message>
        <source>Activation Hotkey</source>
        <translation>激活快捷键</translation>
    </message>
    <message>
        <source>Hold this shortcut to show Ostrevane.</source>
        <translation>按住此快捷键显示 Ostrevane。</translation>
    </message>
    <message>
        <source>Reset to %@</source>
        <translation>恢复为 %@</translation>
    </message>
    <message>
        <source>Required Permission</source>
        <translation>所需权限</translation>
    </message>
    <message>
        <source>Requirements</source>
        <translation>运行条件</translation>
    </message>
    <message>
        <source>Accessibility</source>
        <translation>辅助功能</translation>
    </message>
    <message>
        <source>Window Manager</source>
        <translation>窗口管理器</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Browser Tabs</source>
        <translation>浏览器标签页</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>测试</translation>
    </message>
    <message>
        <source>Behavior</source>
        <translation>行为</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message>
        <source>Choose the display language used inside Ostrevane.</source>
        <translation>选择 Ostrevane 界面使用的语言。</translation>
    </message>
    <message>
        <source>Panel side</source>
        <translation>面板位置</translation>
    </message>
    <message>
        <source>Choose the screen edge Ostrevane slides in from.</source>
        <translation>选择 Ostrevane 从屏幕哪一侧滑入。</translation>
    </message>
    <message>
        <source>Display</source>
        <translation>显示器</translation>
    </message>
    <message>
        <source>Choose which display Ostrevane appears on.</source>
        <translation>选择 Ostrevane 出现在哪个显示器上。</translation>
    </message>
    <message>
        <source>Launch at login</source>
        <translation>登录时启动</translation>
    </message>
    <message>
        <source>Start Ostrevane automatically when you sign in.</source>
        <translation>登录时自动启动 Ostrevane。</translation>
    </message>
    <message>
        <source>Updates</source>
        <translation>更新</translation>
    </message>
    <message>
        <source>Check Now</source>
        <translation>立即检查</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>检查更新</translation>
    </message>
    <message>
        <source>Look for a newer Ostrevane release now.</source>
        <translation>立即查找较新的 Ostrevane 版本。</translation>
    </message>
    <message>
        <source>Automatically check for updates</source>
        <translation>自动检查更新</translation>
    </message>
    <message>
        <source>Ostrevane will periodically check for new releases.</source>
        <translation>Ostrevane 会定期检查新版本。</translation>
    </message>
    <message>
        <source>Automatically download updates</source>
        <translation>自动下载更新</translation>
    </message>
    <message>
        <source>Download updates in the background after they are found.</source>
        <translation>发现更新后在后台下载。</translation>
    </message>
    <message>
        <source>Ostrevane Preferences</source>
        <translation>Ostrevane 偏好设置</translation>
    </message>
    <message>
        <source>Reset all shortcuts</source>
        <translation>恢复所有快捷键</translation>
    </message>
    <message>
        <source>Activation</source>
        <translation>激活</translation>
    </message>
    <message>
        <source>Show / Next</source>
        <translation>显示 / 下一项</translation>
    </message>
    <message>
        <source>Global shortcut that opens Ostrevane and moves forward.</source>
        <translation>打开 Ostrevane 并向前移动的全局快捷键。</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>恢复默认</translation>
    </message>
    <message>
        <source>Show Ostrevane</source>
        <translation>显示 Ostrevane</translation>
    </message>
    <message>
        <source>Preferences…</source>
        <translation>偏好设置…</translation>
    </message>
    <message>
        <source>Feedback…</source>
        <translation>反馈…</translation>
    </message>
    <message>
        <source>Show Guide…</source>
        <translation>显示指南…</translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <translation>检查更新…</translation>
    </message>
    <message>
        <source>Could not open %@</source>
        <translation>无法打开 %@</translation>
    </message>
    <message>
        <source>Browser tabs need the Ostrevane browser extension for full titles and addresses.</source>
        <translation>浏览器标签页需要 Ostrevane 浏览器扩展才能显示完整的标题和网址。</translation>
    </message>
    <message>
        <source>Quit Ostrevane</source>
        <translation>退出 Ostrevane</translation>
    </message>
</context>
</TS>
