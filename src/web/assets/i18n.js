// The page's own words in both languages, and the names of states, alarms,
// load modes, battery types and groups, which come from the bridge
// (GET /api/v1/texts, built from the window's tables) and are never typed here.

const WORDS = {
  en: {
    title: 'Kestrane Bridge', overview: 'Overview', bridge: 'Bridge', language: '中文',
    languageLabel: 'Switch to Chinese', login: 'Log in', logout: 'Log out', password: 'Password',
    role: 'Role', roleNone: 'not logged in', roleViewer: 'viewer', roleAdmin: 'admin',
    loginFailed: 'Wrong password.', loginThrottled: 'Too many attempts; wait a moment.',
    loginNeeded: 'This bridge needs a password to be viewed.',
    online: 'Online', offline: 'Offline', noDataSince: 'no data since {t}', neverSeen: 'never seen',
    updated: 'updated {t}', lastSeen: 'last seen {t}',
    pvPower: 'PV power', pvVoltage: 'PV voltage', battery: 'Battery', load: 'Load',
    loadOn: 'on', loadOff: 'off', chargedToday: 'Charged today', usedToday: 'Used today',
    totals: 'All controllers', controllers: '{n} controllers, {m} online',
    connLost: 'Live connection lost; reconnecting…', connBack: 'Live connection restored.',
    loadFailed: 'Could not load data from the bridge: {e}', noDevices: 'No controllers configured.',
    notFound: 'No controller with this id.', back: 'Overview',
    link: 'Link', linkKey: 'Counter', linkValue: 'Count', lastCycle: 'last cycle',
    chargeState: 'Charge state', loadOutput: 'Load output', loadModeWords: 'Load-control mode',
    systemVoltage: 'System voltage', deviceId: 'Id', busAddress: 'Bus / address',
    noSettings: 'Settings not read yet.', control: 'Control', apply: 'Apply',
    setClock: 'Set clock', working: 'Sending…', controlDenied: 'Not allowed: {e}',
    clockUnsynced: 'Clock not set: the bridge\'s own clock is not synchronised with network time yet and may be wrong. Try again once it is, or set clock_source = "local" in the bridge\'s config if it has a real-time clock.',
    day: 'Day', previousDay: 'Previous day', nextDay: 'Next day', days: 'Days',
    downloadCsv: 'Download CSV of this day', power: 'Power (W)', voltage: 'Voltage (V)',
    temperature: 'Temperature (°C)', pvChargePower: 'PV (charge) power', batteryNetPower: 'Battery net power',
    loadPower: 'Load power', batteryVoltage: 'Battery voltage', innerTemp: 'Controller',
    batteryTemp: 'Battery', charged: 'Charged (Wh)', used: 'Used (Wh)',
    lastDays: 'Last {n} days', noHistory: 'No history for this day.',
    chartsUnavailable: 'Charts are unavailable: the bridge has no Chart.js.',
    clickBar: 'Select a bar to open that day.',
    version: 'Version', uptime: 'Uptime', pollInterval: 'Poll interval', buses: 'Buses',
    port: 'Port', state: 'State', open: 'open', closed: 'closed', lastPass: 'Last pass',
    devices: 'Controllers', mqtt: 'MQTT', configured: 'configured', notConfigured: 'not configured',
    connected: 'connected', disconnected: 'disconnected', history: 'History store',
    enabled: 'enabled', disabled: 'disabled', folder: 'Folder', interval: 'Interval',
    historyOk: 'Writing', ok: 'ok', failing: 'failing', dropped: 'Dropped', written: 'Records written',
    yes: 'yes', no: 'no', alarm: 'Alarm', onDelay: 'On delay', offDelay: 'Off delay',
    timer1: 'Timer 1', timer2: 'Timer 2', eveningHours: 'On after dusk', morningHours: 'On before dawn',
    settingsRead: 'Settings read', loadModeLabel: 'Load mode',
    colon: ': ', tabLive: 'Live values', tabSettings: 'Settings', deviceTabs: 'Controller views',
    settingsTitle: 'Controller settings', loadingSettings: 'Reading the settings…',
    settingsUnavailable: 'The settings of this controller have not been read yet.',
    settingsLoadFailed: 'Could not get the settings: {e}', noProfile: 'the answer holds no profile',
    controlNotAllowed: 'Read-only: control is not allowed for this controller.',
    viewerReadOnly: 'Read-only: log in as an admin to change the settings.',
    leadAcidVoltages: 'Lead-acid voltages', lithiumVoltages: 'Lithium voltages', auto: 'Auto',
    timerPart: '{timer} {part}', onHour: 'on (hour)', onMinute: 'on (minute)',
    offHour: 'off (hour)', offMinute: 'off (minute)',
    check: 'Check', write: 'Write to controller', writing: 'Writing…',
    downloadProfile: 'Download profile', uploadProfile: 'Upload profile',
    uploadTooBig: '{name} is larger than 64 KiB; it was not read.',
    uploadNotJson: '{name} is not JSON; it was not read.',
    uploadNotProfile: '{name} holds no profile object { … }; it was not read.',
    uploadLoaded: 'The values of {name} are in the form and have been checked.',
    problemsOne: '1 problem; fix it and check again:', problemsMany: '{n} problems; fix them and check again:',
    checkPassed: 'Check passed', checkPassedWrites: 'Check passed. Write will send:',
    nothingToWrite: 'Nothing to write: the controller already has these values.',
    noFieldChanges: 'No field of its own changes; it goes with the write.', frames: 'Frames (hex)',
    settingsWritten: 'Settings written.', settingsNotWritten: 'The settings were not written as checked.',
    settingsChanged: 'Someone changed the settings since they were read; nothing was written. '
      + 'The form now shows the new values: check and write again.',
    backupKept: 'A backup of the settings before the write was kept: {name}',
    mismatchLine: '{label}: written {expected}, read back {read}',
    requestFailed: 'Failed: {e}',
    backupsTitle: 'Backups', noBackups: 'No backups yet: one is kept before every write.',
    loadBackup: 'Put into form', backupLoaded: 'The backup {name} is in the form: check it, then write.',
    backupFailed: 'Could not read the backup: {e}', backupsFailed: 'Could not list the backups: {e}',
  },
  zh: {
    title: 'Kestrane 网关', overview: '总览', bridge: '网关', language: 'English',
    languageLabel: '切换为英文', login: '登录', logout: '退出登录', password: '密码',
    role: '角色', roleNone: '未登录', roleViewer: '查看者', roleAdmin: '管理员',
    loginFailed: '密码错误。', loginThrottled: '尝试次数过多，请稍候。',
    loginNeeded: '查看此网关需要密码。',
    online: '在线', offline: '离线', noDataSince: '自 {t} 起无数据', neverSeen: '从未连接',
    updated: '更新于 {t}', lastSeen: '最后在线 {t}',
    pvPower: '光伏功率', pvVoltage: '光伏电压', battery: '电池', load: '负载',
    loadOn: '开', loadOff: '关', chargedToday: '今日充电', usedToday: '今日用电',
    totals: '全部控制器', controllers: '{n} 台控制器，{m} 台在线',
    connLost: '实时连接已断开，正在重连…', connBack: '实时连接已恢复。',
    loadFailed: '无法从网关读取数据：{e}', noDevices: '未配置控制器。',
    notFound: '没有此编号的控制器。', back: '总览',
    link: '通信', linkKey: '计数项', linkValue: '次数', lastCycle: '上次轮询',
    chargeState: '充电状态', loadOutput: '负载输出', loadModeWords: '负载控制模式',
    systemVoltage: '系统电压', deviceId: '编号', busAddress: '总线 / 地址',
    noSettings: '尚未读取设置。', control: '控制', apply: '应用',
    setClock: '同步时钟', working: '发送中…', controlDenied: '不允许：{e}',
    clockUnsynced: '未设置时钟：网关自身的时钟尚未与网络时间同步，可能不准确。请在同步后重试；若网关带有实时时钟，请在网关配置中设置 clock_source = "local"。',
    day: '日', previousDay: '前一天', nextDay: '后一天', days: '每日电量',
    downloadCsv: '下载当日 CSV', power: '功率 (W)', voltage: '电压 (V)',
    temperature: '温度 (°C)', pvChargePower: '光伏（充电）功率', batteryNetPower: '电池净功率',
    loadPower: '负载功率', batteryVoltage: '电池电压', innerTemp: '控制器',
    batteryTemp: '电池', charged: '充电 (Wh)', used: '用电 (Wh)',
    lastDays: '最近 {n} 天', noHistory: '当日无历史记录。',
    chartsUnavailable: '图表不可用：网关缺少 Chart.js。',
    clickBar: '点击柱形可打开当日。',
    version: '版本', uptime: '运行时间', pollInterval: '轮询间隔', buses: '总线',
    port: '端口', state: '状态', open: '已打开', closed: '已关闭', lastPass: '上次轮询',
    devices: '控制器', mqtt: 'MQTT', configured: '已配置', notConfigured: '未配置',
    connected: '已连接', disconnected: '未连接', history: '历史记录',
    enabled: '已启用', disabled: '未启用', folder: '目录', interval: '间隔',
    historyOk: '写入', ok: '正常', failing: '失败', dropped: '丢弃', written: '已写入记录',
    yes: '是', no: '否', alarm: '告警', onDelay: '开延时', offDelay: '关延时',
    timer1: '时段1', timer2: '时段2', eveningHours: '天黑后开启', morningHours: '天亮前开启',
    settingsRead: '设置读取时间', loadModeLabel: '负载模式',
    colon: '：', tabLive: '实时数据', tabSettings: '参数设置', deviceTabs: '控制器视图',
    settingsTitle: '控制器参数设置', loadingSettings: '正在读取设置…',
    settingsUnavailable: '尚未读取此控制器的设置。',
    settingsLoadFailed: '无法获取设置：{e}', noProfile: '应答中没有配置',
    controlNotAllowed: '只读：此控制器不允许控制。',
    viewerReadOnly: '只读：以管理员身份登录后才能修改设置。',
    leadAcidVoltages: '铅酸电池电压', lithiumVoltages: '锂电池电压', auto: '自动',
    timerPart: '{timer}{part}', onHour: '开启（时）', onMinute: '开启（分）',
    offHour: '关闭（时）', offMinute: '关闭（分）',
    check: '检查', write: '写入控制器', writing: '写入中…',
    downloadProfile: '下载配置文件', uploadProfile: '上传配置文件',
    uploadTooBig: '{name} 大于 64 KiB，未读取。',
    uploadNotJson: '{name} 不是 JSON，未读取。',
    uploadNotProfile: '{name} 中没有配置对象 { … }，未读取。',
    uploadLoaded: '已将 {name} 的值填入表单并完成检查。',
    problemsOne: '发现 1 处问题，请修正后重新检查：', problemsMany: '发现 {n} 处问题，请修正后重新检查：',
    checkPassed: '检查通过', checkPassedWrites: '检查通过。写入时将发送：',
    nothingToWrite: '无需写入：控制器已是这些值。',
    noFieldChanges: '本块没有字段变化，随写入一并发送。', frames: '帧（十六进制）',
    settingsWritten: '设置已写入。', settingsNotWritten: '设置未按检查结果写入。',
    settingsChanged: '自读取以来，设置已被他人更改，未写入任何内容。表单现显示新的值，请重新检查并写入。',
    backupKept: '已保留写入前的设置备份：{name}',
    mismatchLine: '{label}：写入 {expected}，读回 {read}',
    requestFailed: '失败：{e}',
    backupsTitle: '备份', noBackups: '暂无备份：每次写入前都会保留一份。',
    loadBackup: '填入表单', backupLoaded: '备份 {name} 已填入表单，请检查后写入。',
    backupFailed: '无法读取备份：{e}', backupsFailed: '无法列出备份：{e}',
  },
};

const STORAGE_KEY = 'kestrane.lang';
let lang = initialLanguage();
let texts = { en: {}, zh: {} };

function initialLanguage() {
  try {
    const stored = localStorage.getItem(STORAGE_KEY);
    if (stored === 'en' || stored === 'zh') return stored;
  } catch { /* storage may be off: fall back to the browser's languages */ }
  for (const tag of navigator.languages || [navigator.language || 'en']) {
    const lower = String(tag).toLowerCase();
    if (lower.startsWith('zh')) return 'zh';
    if (lower.startsWith('en')) return 'en';
  }
  return 'en';
}

export function language() { return lang; }

export function setLanguage(next) {
  lang = next === 'zh' ? 'zh' : 'en';
  try { localStorage.setItem(STORAGE_KEY, lang); } catch { /* not remembered then */ }
  document.documentElement.lang = lang === 'zh' ? 'zh-Hans' : 'en';
}

export function setTexts(fromBridge) {
  if (fromBridge && typeof fromBridge === 'object') texts = fromBridge;
}

// The page's own word, with {name} filled from `values`.
export function t(key, values = {}) {
  const word = WORDS[lang][key] ?? WORDS.en[key] ?? key;
  return word.replace(/\{(\w+)\}/g, (whole, name) => (name in values ? String(values[name]) : whole));
}

// A field's label: the window's from the bridge's "fields" table, else the
// page's own word `own`, else the key itself.
export function labelOf(key, own) {
  return name('fields', key) ?? (own ? t(own) : key);
}

// The name in the page's language of a list entry the profile spells with
// the window's English name ("Li-ion", "Light Mode"), found through the
// English table of `section`; undefined when the tables do not have it.
export function entryName(section, english) {
  const table = (texts.en || {})[section];
  const key = table && Object.keys(table).find((k) => table[k] === english);
  return key === undefined ? undefined : name(section, key);
}

// A name from the bridge's tables: section "charge_state", "alarm",
// "load_mode", "battery_type", "groups" or "fields"; undefined when absent.
export function name(section, key) {
  const table = (texts[lang] || {})[section];
  const value = table ? table[String(key)] : undefined;
  return typeof value === 'string' ? value : undefined;
}

// The names of every alarm bit set in `code`, lowest first; a bit the
// tables do not name as its hexadecimal value, as the window shows it.
export function alarmNames(code) {
  const names = [];
  for (let bit = 1; bit <= code && bit < 0x100000000; bit *= 2) {
    if (Math.floor(code / bit) % 2 === 1) names.push(name('alarm', bit) ?? bit.toString(16).toUpperCase());
  }
  return names;
}
